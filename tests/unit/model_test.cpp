// The window-system model: the controls' behaviour the program's handlers rely on, and the
// rules both desktop backends share (tab order, layers, twips, the dialog font).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hotkeys/hk.h"
#include "platform/model/accessibility.h"
#include "platform/model/connection_string.h"
#include "platform/model/control.h"
#include "platform/model/control_order.h"
#include "platform/model/dialog_font.h"
#include "platform/model/option_group.h"
#include "platform/model/twips.h"
#include "platform/model/window.h"
#include "platform/model/window_system.h"

namespace tolvane {
namespace {

// Every change the model reports, as "Control.Property".
class ChangeLog : public ModelObserver {
public:
    void propertyChanged(Window&, Control* control, Property property, const PropertyValue&) override
    {
        const std::string owner = control ? control->name() : std::string("window");
        changes.push_back(owner + "." + std::string(propertyName(property)));
    }
    std::vector<std::string> changes;
};

class ModelTest : public ::testing::Test {
protected:
    ModelTest() { system.addObserver(log); }
    WindowSystem system;
    ChangeLog log;
    Window window{system, {"W", "W", 3000, 3000, "tolvane"}};
};

// --- Drop-down list -----------------------------------------------------------------

TEST_F(ModelTest, DropDownListOnlyPicksItsOwnItems)
{
    DropDownList list(window, {"Combo2", {}, 0, ""}, {"Shutdown At", "Restart At"});
    EXPECT_EQ(list.text(), "");
    EXPECT_EQ(list.listIndex(), -1);

    EXPECT_FALSE(list.userSelect("Log off At"));
    EXPECT_FALSE(list.userSelect("restart at"));  // the user picks an item, not a text
    list.userSelectIndex(7);
    EXPECT_EQ(list.text(), "");

    EXPECT_TRUE(list.userSelect("Restart At"));
    EXPECT_EQ(list.text(), "Restart At");
    EXPECT_EQ(list.listIndex(), 1);
}

TEST_F(ModelTest, DropDownListAssignmentIgnoresCaseAndReadsTheItem)
{
    DropDownList list(window, {"Combo2", {}, 0, ""}, {"Shutdown At", "Restart At", "SHUTDOWN AT"});
    EXPECT_TRUE(list.setText("ShutDown At"));
    EXPECT_EQ(list.listIndex(), 0);  // the first of the two that match
    EXPECT_EQ(list.text(), "Shutdown At");

    EXPECT_TRUE(list.setText("restart at"));
    EXPECT_EQ(list.text(), "Restart At");
}

TEST_F(ModelTest, DropDownListRefusesAnUnknownTextAndKeepsTheSelection)
{
    DropDownList list(window, {"Combo4", {}, 0, ""}, {"01", "02", "03"});
    EXPECT_FALSE(list.setText("00"));
    EXPECT_EQ(list.text(), "");
    ASSERT_TRUE(list.setText("02"));
    EXPECT_FALSE(list.setText("2"));
    EXPECT_FALSE(list.setText("02 "));
    EXPECT_FALSE(list.setText(""));
    EXPECT_EQ(list.text(), "02");
}

// --- Option buttons and check boxes ------------------------------------------------

TEST_F(ModelTest, OptionButtonGroupsAreKeptPerContainer)
{
    Frame left(window, {"FrameA", {}, 0, ""});
    Frame right(window, {"FrameB", {}, 1, ""});
    OptionButton a1(window, {"A1", {}, 2, "", &left}, true);
    OptionButton a2(window, {"A2", {}, 3, "", &left}, false);
    OptionButton b1(window, {"B1", {}, 4, "", &right}, true);
    OptionButton b2(window, {"B2", {}, 5, "", &right}, false);

    a2.userClick();
    EXPECT_FALSE(a1.value());
    EXPECT_TRUE(a2.value());
    EXPECT_TRUE(b1.value());  // the other frame is another group
    EXPECT_FALSE(b2.value());

    b2.userClick();
    EXPECT_TRUE(a2.value());
    EXPECT_FALSE(b1.value());
    EXPECT_TRUE(b2.value());

    b2.userClick();  // clicking the selected one keeps it selected
    EXPECT_TRUE(b2.value());
    EXPECT_FALSE(b1.value());
}

// The arrow keys walk a group in tab order, whatever order the buttons were made in, round
// both ends, and never into another container's group.
TEST_F(ModelTest, ArrowKeysWalkTheOptionGroupInTabOrderRoundTheEnds)
{
    Frame other(window, {"FrameB", {}, 9, ""});
    OptionButton third(window, {"Third", {}, 7, ""}, false);
    OptionButton first(window, {"First", {}, 0, ""}, true);
    OptionButton second(window, {"Second", {}, 4, ""}, false);
    OptionButton alone(window, {"Alone", {}, 8, "", &other}, true);
    EXPECT_EQ(nextInGroup(first, true), &second);
    EXPECT_EQ(nextInGroup(second, true), &third);
    EXPECT_EQ(nextInGroup(third, true), &first);
    EXPECT_EQ(nextInGroup(first, false), &third);
    EXPECT_EQ(nextInGroup(alone, true), nullptr);
}

// --- The orders every backend keeps ------------------------------------------------------

// Tab goes by the tab places, controls of one place in the order of their design; a control
// without a place comes last, and one that never takes the focus is no stop of Tab.
TEST_F(ModelTest, TheTabOrderFollowsThePlacesAndLeavesOutWhatTakesNoFocus)
{
    PushButton late(window, {"Late", {}, 5, ""});
    PushButton none(window, {"None", {}, -1, ""});
    Label label(window, {"Label", {}, 1, ""});
    CheckBox tied(window, {"Tied", {}, 5, ""});
    PushButton first(window, {"First", {}, 0, ""});
    EXPECT_EQ(tabOrder(window), (std::vector<Control*>{&first, &label, &late, &tied, &none}));
    EXPECT_EQ(focusOrder(window), (std::vector<Control*>{&first, &late, &tied}));
}

// Frames lie beneath labels, labels beneath every windowed control; within a layer the order
// given is kept, from either end.
TEST_F(ModelTest, TheDesignsLayersPutFramesBeneathLabelsBeneathWindowedControls)
{
    PushButton button(window, {"Button", {}, 0, ""});
    Label label1(window, {"Label1", {}, 1, ""});
    Frame frame(window, {"Frame", {}, 2, ""});
    Image image(window, {"Image", {}, -1, ""}, "tolvane");
    Label label2(window, {"Label2", {}, 3, ""});
    EXPECT_EQ(bottomLayerFirst(window.controls()), (std::vector<Control*>{&frame, &label1, &label2, &button, &image}));
    EXPECT_EQ(topLayerFirst(window.controls()), (std::vector<Control*>{&button, &image, &label1, &label2, &frame}));
}

// --- What a screen reader is told ------------------------------------------------------

// A list of hours is named by the action its row's list shows, as the user picks it; the
// option button by that action itself. Before anything is picked the name still says what
// the list holds.
TEST_F(ModelTest, TheRowsListsAreNamedByTheActionTheirRowShows)
{
    Window form(system, {"Form1", "Tolvane 3.0 - Quenmoor", 5625, 3975, "tolvane"});
    OptionButton option1(form, {"Option1", {}, 0, ""}, true);
    DropDownList combo1(form, {"Combo1", {}, 1, ""}, {"Shutdown After", "Stand By After"});
    DropDownList combo3(form, {"Combo3", {}, 2, ""}, {"00"});
    EXPECT_EQ(accessibleOf(combo3).name, "hours");
    combo1.userSelect("Stand By After");
    EXPECT_EQ(accessibleOf(combo3).name, "Stand by after, hours");
    EXPECT_EQ(accessibleOf(combo3).role, AccessibleRole::ComboBox);
    EXPECT_EQ(accessibleOf(option1).name, "Stand By After");
    EXPECT_EQ(accessibleOf(option1).role, AccessibleRole::RadioButton);
    EXPECT_EQ(accessibleOf(form).name, "Tolvane 3.0 - Quenmoor");
}

TEST_F(ModelTest, CheckBoxClickToggles)
{
    CheckBox box(window, {"Check6", {}, 0, "Check6"});
    int clicks = 0;
    box.onClick = [&] { ++clicks; };
    box.userClick();
    EXPECT_EQ(box.value(), 1);
    box.userClick();
    EXPECT_EQ(box.value(), 0);
    EXPECT_EQ(clicks, 2);
}

// --- Edit box and the hotkey key filter ---------------------------------------------

TEST_F(ModelTest, EditBoxMaximumLengthHoldsForTypingAndPaste)
{
    EditBox box(window, {"Text1", {}, 0, ""}, 1);
    box.userType('A');
    box.userType('B');
    EXPECT_EQ(box.text(), "A");

    box.userPaste("XYZ");
    EXPECT_EQ(box.text(), "X");
    box.userPaste("\xC3\xA9z");  // a two-byte character is one character
    EXPECT_EQ(box.text(), "\xC3\xA9");

    EditBox wide(window, {"Text9", {}, 1, ""}, 3);
    wide.userPaste("abcdef");
    EXPECT_EQ(wide.text(), "abc");
    wide.userType(8);
    wide.userType('Q');
    EXPECT_EQ(wide.text(), "abQ");
}

TEST_F(ModelTest, KeyFilterPassesCapitalsDigitsAndBackspaceOnly)
{
    EXPECT_EQ(hkeyFilter('s'), 'S');
    EXPECT_EQ(hkeyFilter('a'), 'A');
    EXPECT_EQ(hkeyFilter('z'), 'Z');
    EXPECT_EQ(hkeyFilter('Q'), 'Q');
    EXPECT_EQ(hkeyFilter('0'), '0');
    EXPECT_EQ(hkeyFilter('7'), '7');
    EXPECT_EQ(hkeyFilter(8), 8);
    for (int code : {int{' '}, int{'!'}, int{'@'}, int{'['}, int{'`'}, int{'{'}, int{'/'}, int{':'}, 0xE9, 0xC9, 0, 9,
                     10, 13, 27, 127, -1})
        EXPECT_EQ(hkeyFilter(code), 0) << "code " << code;
}

TEST_F(ModelTest, KeyBoxTypingGoesThroughTheFilterButPasteDoesNot)
{
    EditBox box(window, {"Text1", {}, 0, ""}, 1);
    box.onKeyPress = hkeyFilter;
    box.userType('s');
    EXPECT_EQ(box.text(), "S");
    box.userType(8);
    EXPECT_EQ(box.text(), "");
    for (int code : {int{' '}, int{'!'}, 0xE9, 9, 13, 27}) box.userType(code);
    EXPECT_EQ(box.text(), "");
    box.userType('7');
    EXPECT_EQ(box.text(), "7");

    box.userPaste("s");
    EXPECT_EQ(box.text(), "s");
    box.userPaste("!");
    EXPECT_EQ(box.text(), "!");

    // Backspace takes a whole character, also one that only a paste could bring in.
    box.userPaste("\xC3\xA9");
    box.userType(8);
    EXPECT_EQ(box.text(), "");
    EditBox wide(window, {"Text9", {}, 1, ""}, 4);
    wide.userPaste("a\xE2\x82\xAC");  // a and the euro sign
    wide.userType(8);
    EXPECT_EQ(wide.text(), "a");
}

// --- Change notifications -------------------------------------------------------------

TEST_F(ModelTest, ChangesAreToldOnlyWhenAValueReallyChanges)
{
    DropDownList list(window, {"Combo1", {}, 0, ""}, {"Shutdown After", "Restart After"});
    CheckBox check(window, {"Check6", {}, 1, ""});
    EditBox edit(window, {"Text1", {}, 2, ""}, 1);
    OptionButton option(window, {"Option1", {}, 3, ""}, true);
    Label label(window, {"Label3", {}, 4, "Currently no action scheduled"});

    list.setText("Shutdown After");
    check.setValue(1);
    edit.setText("S");
    label.setCaption("Shutdown After 00:01");
    window.setVisible(true);
    ASSERT_EQ(log.changes, (std::vector<std::string>{"Combo1.Text", "Check6.Value", "Text1.Text", "Label3.Caption",
                                                     "window.Visible"}));
    log.changes.clear();

    list.setText("SHUTDOWN AFTER");  // the same item
    EXPECT_FALSE(list.setText("nothing"));
    list.userSelect("Shutdown After");
    check.setValue(1);
    edit.setText("S");
    edit.userType('X');  // refused by the maximum length
    edit.userPaste("S");
    option.setValue(true);
    option.userClick();
    label.setCaption("Shutdown After 00:01");
    window.setVisible(true);
    EXPECT_TRUE(log.changes.empty()) << log.changes.front();
}

// Both desktop programs place controls through these, so they agree on every pixel.
TEST(Twips, PixelsAreRoundedToTheNearestAtAnyResolution)
{
    EXPECT_EQ(twipsToPixels(15, 96), 1);
    EXPECT_EQ(twipsToPixels(5625, 96), 375);
    EXPECT_EQ(twipsToPixels(3975, 96), 265);
    EXPECT_EQ(twipsToPixels(0, 96), 0);
    EXPECT_EQ(twipsToPixels(5625, 120), 469);  // 468.75
    EXPECT_EQ(twipsToPixels(6, 120), 1);       // a half pixel rounds up
    EXPECT_EQ(twipsToPixels(5, 120), 0);
    // 110 dpi, where a rounded 13 twips a pixel would give 433 for the main window's width.
    EXPECT_EQ(twipsToPixels(5625, 110), 430);  // 429.69
    EXPECT_EQ(twipsToPixels(3030, 110), 231);  // 231.46
    EXPECT_EQ(twipsToPixels(-15, 96), -1);

    EXPECT_EQ(twipsPerPixel(96), 15);
    EXPECT_EQ(twipsPerPixel(120), 12);
    EXPECT_EQ(twipsPerPixel(110), 13);
    EXPECT_EQ(twipsPerPixel(144), 10);
    EXPECT_EQ(twipsPerPixel(0), 15);
    EXPECT_EQ(twipsPerPixel(5000), 1);
    EXPECT_EQ(wholeDotsPerInch(109.6), 110);
    EXPECT_EQ(wholeDotsPerInch(0), 96);
}

TEST(Twips, AControlInAFrameAddsTheFramesPlaceRoundedOnItsOwn)
{
    WindowSystem system;
    Window window(system, {"W", "", 5625, 3975, ""});
    Frame frame(window, {"Frame2", {375, 1680, 3135, 495}, 18, ""});
    CheckBox check(window, {"Check6", {2745, 180, 255, 195}, 20, "Check6", &frame});
    const PixelRect r = pixelRect(check, 96);
    EXPECT_EQ(r.left, 25 + 183);  // 375 -> 25, 2745 -> 183
    EXPECT_EQ(r.top, 112 + 12);
    EXPECT_EQ(r.width, 17);
    EXPECT_EQ(r.height, 13);
}

// A label's room ends at the first windowed control over it to the right of its left edge;
// a control reaching in from the left (HK's check boxes) and a taller label do not count.
TEST(DialogFont, TheLargestHalfPointSizeAtWhichEveryOneLineCaptionFitsItsRoom)
{
    WindowSystem system;
    Window window(system, {"W", "", 5625, 3975, ""});
    Frame frame(window, {"Frame2", {375, 1680, 3135, 495}, 18, ""});
    Label label(window, {"Label9", {75, 165, 2940, 255}, 19, " Warn 30 seconds before the action", &frame});
    CheckBox check(window, {"Check6", {2745, 180, 255, 195}, 20, "Check6", &frame});
    CheckBox left(window, {"Check1", {360, 1680, 255, 255}, 0, "Check1"});
    Label tall(window, {"Label2", {0, 0, 150, 600}, 1, "a caption of two lines, never measured"});
    EXPECT_EQ(captionRoom(label, window, 96), 178);  // of its 196 pixels
    // A face whose captions take (characters x tenths / 15) pixels: 34 characters need
    // 181 pixels at 8 points and 170 at 7.5.
    std::vector<std::string> measured;
    auto width = [&](const std::string& caption, int tenths) {
        measured.push_back(caption);
        return static_cast<int>(caption.size()) * tenths / 15;
    };
    EXPECT_EQ(dialogFontTenths(window, 96, width), 75);
    EXPECT_EQ(measured, (std::vector<std::string>{label.caption(), label.caption()}));
    check.setVisible(false);
    EXPECT_EQ(dialogFontTenths(window, 96, width), 80);
    EXPECT_EQ(dialogFontTenths(window, 96, [](const std::string&, int) { return 1000; }), 60);
}

TEST(ConnectionString, DataSourceIsTheFilePiece)
{
    EXPECT_EQ(dataSourceOf("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\WINDOWS\\tolvdata.v;"
                           "Persist Security Info=False"),
              "C:\\WINDOWS\\tolvdata.v");
    // windir empty: the file at the root of the current drive.
    EXPECT_EQ(dataSourceOf("Provider=x;Data Source=\\tolvdata.v;Persist Security Info=False"), "\\tolvdata.v");
    EXPECT_EQ(dataSourceOf("Provider=x;data source=D:\\a b\\f.v"), "D:\\a b\\f.v");
    EXPECT_EQ(dataSourceOf("Provider=x"), "");
}

TEST(ConnectionString, ARecordsetReadsTheTableItsSourceNamesLast)
{
    EXPECT_EQ(tableOf("select * from ky"), "ky");
    EXPECT_EQ(tableOf("en"), "en");
}

TEST(Utf8, EveryCharacterCodeIsWrittenInItsOwnLength)
{
    EXPECT_EQ(utf8('S'), "S");
    EXPECT_EQ(utf8(0xE9), "\xC3\xA9");             // é
    EXPECT_EQ(utf8(0x20AC), "\xE2\x82\xAC");       // €
    EXPECT_EQ(utf8(0x1F600), "\xF0\x9F\x98\x80");  // beyond the 16-bit codes: four bytes
    EXPECT_EQ(utf8(0x10FFFF), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(utf8(0x110000), "");
    EXPECT_EQ(characterCount(utf8(0x1F600) + "S"), 2u);
}

// Read back, each character takes the bytes it was written in; one cut short reads as far as
// it goes.
TEST(Utf8, EveryCharacterIsReadInItsOwnLength)
{
    for (int code : {int{'S'}, 0xE9, 0x20AC, 0x1F600, 0x10FFFF}) {
        const Utf8Character read = utf8At("a" + utf8(code) + "b", 1);
        EXPECT_EQ(read.code, static_cast<unsigned>(code));
        EXPECT_EQ(read.size, utf8(code).size());
    }
    const Utf8Character cut = utf8At("\xE2\x82", 0);  // the euro sign without its last byte
    EXPECT_EQ(cut.size, 2u);
    EXPECT_EQ(cut.code, (0x2u << 6) | 0x2u);
}

}  // namespace
}  // namespace tolvane

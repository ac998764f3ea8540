// The hotkey window's key boxes (HK's Text1..Text5), on xcb with openbox and real input:
// every way a user changes the text goes through the window's key filter or is closed,
// except the context menu's Paste, which pastes as the edit menu does on Windows; the
// boxes show and read UTF-8, and show the whole text the program holds.
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <thread>

#include "hotkeys/hk.h"
#include "tests/settings_file.h"
#include "xcb_fixture.h"

namespace tolvane::test {
namespace {

class KeyBoxes : public XcbDesktopTest {
protected:
    void SetUp() override
    {
        XcbDesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_NO_FATAL_FAILURE(openMainWindow());
        ASSERT_NO_FATAL_FAILURE(openHotkeyWindow());
        hk_ = desktop_->program().existingHK();
        // The filter stays the window's own; the test only watches what reaches it.
        for (EditBox* box : hk_->keys()) {
            box->onKeyPress = [this, box, filter = box->onKeyPress](int code) {
                asked_.emplace_back(box, code);
                return filter ? filter(code) : code;
            };
        }
    }
    void TearDown() override
    {
        if (relayout_) setKeyboardLayout({"-layout", "us"});
        XcbDesktopTest::TearDown();
    }

    QLineEdit* box(const EditBox& control) { return qobject_cast<QLineEdit*>(widget(control)); }
    std::vector<int> askedFor(const EditBox& control)
    {
        std::vector<int> codes;
        for (const auto& [b, code] : asked_)
            if (b == &control) codes.push_back(code);
        return codes;
    }
    // Text1 with the focus and emptied by Backspace, as a user starts over.
    void emptyText1()
    {
        clickDesigned(hk_->Text1);
        ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() == box(hk_->Text1); }));
        for (int i = 0; i < 4 && !hk_->Text1.text().empty(); ++i) {
            ASSERT_TRUE(x_.key("BackSpace"));
            settle(50);
        }
        ASSERT_EQ(hk_->Text1.text(), "");
        ASSERT_EQ(box(hk_->Text1)->text(), "");
        asked_.clear();
    }
    void useLayout(const QStringList& arguments)
    {
        relayout_ = true;
        ASSERT_TRUE(setKeyboardLayout(arguments)) << "setxkbmap " << arguments.join(' ').toStdString();
        x_.refreshKeyboard();
        // Qt reads the new key map when the server tells it.
        settle(500);
    }
    // The open context menu's entry with this text.
    QAction* menuEntry(const QString& text)
    {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return nullptr;
        for (QAction* a : menu->actions())
            if (a->text() == text) return a;
        return nullptr;
    }
    // A right click on the box and a left click on one entry of its menu.
    void chooseFromMenu(const EditBox& control, const QString& entry)
    {
        // Two right clicks within a double-click time are a double click, which asks for no menu.
        settle(QApplication::doubleClickInterval() + 50);
        clickDesigned(control, 3);
        ASSERT_TRUE(waitFor([] { return QApplication::activePopupWidget() != nullptr; }, 5000)) << "no context menu";
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        ASSERT_TRUE(waitFor([&] { return menu->windowHandle() && menu->windowHandle()->isExposed(); }));
        QAction* action = menuEntry(entry);
        ASSERT_NE(action, nullptr) << "no " << entry.toStdString() << " in the menu";
        ASSERT_TRUE(action->isEnabled()) << entry.toStdString() << " is disabled";
        settle(QApplication::doubleClickInterval());
        x_.click(menu->mapToGlobal(menu->actionGeometry(action).center()));
        ASSERT_TRUE(waitFor([] { return QApplication::activePopupWidget() == nullptr; }, 5000));
        settle(50);
    }

    HK* hk_ = nullptr;
    std::vector<std::pair<const EditBox*, int>> asked_;
    bool relayout_ = false;
};

TEST_F(KeyBoxes, TypingGoesThroughTheKeyFilter)
{
    ASSERT_NO_FATAL_FAILURE(emptyText1());
    ASSERT_TRUE(x_.key("q"));
    EXPECT_TRUE(waitFor([&] { return hk_->Text1.text() == "Q"; }));
    EXPECT_EQ(box(hk_->Text1)->text(), "Q");
    ASSERT_TRUE(x_.key("w"));
    ASSERT_TRUE(x_.key("numbersign", {"Shift_L"}));
    settle();
    EXPECT_EQ(hk_->Text1.text(), "Q") << "the maximum length refuses a second character";
    EXPECT_EQ(askedFor(hk_->Text1), (std::vector<int>{'q', 'w', '#'}));
}

TEST_F(KeyBoxes, TheMiddleButtonPastesNothing)
{
    ASSERT_NO_FATAL_FAILURE(emptyText1());
    QGuiApplication::clipboard()->setText("K", QClipboard::Selection);
    ASSERT_TRUE(QGuiApplication::clipboard()->supportsSelection());
    clickDesigned(hk_->Text1, 2);
    settle();
    EXPECT_EQ(box(hk_->Text1)->text(), "");
    EXPECT_EQ(hk_->Text1.text(), "");
}

// Ctrl+V is the character code 22, which the filter discards; Shift+Insert pastes nothing.
TEST_F(KeyBoxes, ThePasteKeysGoThroughTheFilterOrDoNothing)
{
    ASSERT_NO_FATAL_FAILURE(emptyText1());
    QGuiApplication::clipboard()->setText("K");
    ASSERT_TRUE(x_.key("v", {"Control_L"}));
    EXPECT_TRUE(waitFor([&] { return !askedFor(hk_->Text1).empty(); }, 3000));
    EXPECT_EQ(askedFor(hk_->Text1), std::vector<int>{22});
    ASSERT_TRUE(x_.key("Insert", {"Shift_L"}));
    settle();
    EXPECT_EQ(box(hk_->Text1)->text(), "");
    EXPECT_EQ(hk_->Text1.text(), "");
    // Ctrl+Z and Ctrl+X are characters too: the box neither undoes nor cuts behind the filter.
    ASSERT_TRUE(x_.key("k"));
    ASSERT_TRUE(waitFor([&] { return hk_->Text1.text() == "K"; }));
    ASSERT_TRUE(x_.key("z", {"Control_L"}));
    ASSERT_TRUE(x_.key("a", {"Control_L"}));
    ASSERT_TRUE(x_.key("x", {"Control_L"}));
    settle();
    EXPECT_EQ(hk_->Text1.text(), "K");
    EXPECT_EQ(box(hk_->Text1)->text(), "K");
    EXPECT_EQ(askedFor(hk_->Text1), (std::vector<int>{22, 'k', 26, 24}));
}

// A dead key and a letter make one character, which the input method commits; it is typed
// as that character and the filter discards it.
TEST_F(KeyBoxes, AComposedCharacterGoesThroughTheFilter)
{
    ASSERT_NO_FATAL_FAILURE(useLayout({"-layout", "us", "-variant", "intl"}));
    ASSERT_NO_FATAL_FAILURE(emptyText1());
    ASSERT_TRUE(x_.key("dead_acute")) << "the layout has no dead acute";
    ASSERT_TRUE(x_.key("e"));
    settle(300);
    EXPECT_EQ(askedFor(hk_->Text1), std::vector<int>{0xE9}) << "é reached the filter";
    EXPECT_EQ(box(hk_->Text1)->text(), "");
    EXPECT_EQ(hk_->Text1.text(), "");
    ASSERT_TRUE(x_.key("e"));
    EXPECT_TRUE(waitFor([&] { return hk_->Text1.text() == "E"; }, 3000));
}

// A character beyond Latin-1 reaches the key handler; the box shows and reads it as UTF-8.
TEST_F(KeyBoxes, CharactersBeyondLatin1ReachTheKeyHandlerAndShowAsTyped)
{
    ASSERT_NO_FATAL_FAILURE(useLayout({"-layout", "ru"}));
    ASSERT_NO_FATAL_FAILURE(emptyText1());
    // A key handler that lets everything through, to see what enters.
    hk_->Text1.onKeyPress = [this](int code) {
        asked_.emplace_back(&hk_->Text1, code);
        return code;
    };
    ASSERT_TRUE(x_.key("Cyrillic_zhe"));
    EXPECT_TRUE(waitFor([&] { return !askedFor(hk_->Text1).empty(); }, 3000)) << "dropped before the key handler";
    EXPECT_EQ(askedFor(hk_->Text1), std::vector<int>{0x0436});
    EXPECT_EQ(hk_->Text1.text(), "\xD0\xB6");
    EXPECT_EQ(box(hk_->Text1)->text(), QString::fromUtf8("\xD0\xB6"));
}

// Text dragged from another window is not dropped into a key box.
TEST_F(KeyBoxes, DroppedTextIsRefused)
{
    ASSERT_NO_FATAL_FAILURE(emptyText1());
    // A window of another "program" with a text to drag and, to show that the drag
    // itself works, a box that takes drops.
    QWidget source;
    auto* layout = new QVBoxLayout(&source);
    auto* from = new QLineEdit("K");
    from->setDragEnabled(true);
    auto* taker = new QLineEdit;
    layout->addWidget(from);
    layout->addWidget(taker);
    source.setGeometry(40, 500, 200, 80);
    source.show();
    ASSERT_TRUE(waitFor([&] { return source.windowHandle() && source.windowHandle()->isExposed(); }));
    settle(300);

    const auto drag = [&](QPoint to) {
        from->selectAll();
        // On the selected letter.
        const int letter = from->fontMetrics().horizontalAdvance("K");
        const QPoint start =
            from->mapToGlobal(QPoint(from->contentsRect().left() + 2 + letter / 2, from->height() / 2));
        // The drag runs a loop of its own inside the event loop: the hand moves from another thread.
        std::atomic<bool> done = false;
        std::thread hand([&] {
            XInput input;
            input.moveTo(start);
            input.press(1);
            for (int i = 1; i <= 20; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                input.moveTo(start + (to - start) * i / 20);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            input.release(1);
            done = true;
        });
        waitFor([&] { return done.load(); }, 10000);
        hand.join();
        settle(300);
    };
    drag(taker->mapToGlobal(taker->rect().center()));
    ASSERT_EQ(taker->text(), "K") << "the drag itself did not work";
    drag(designedCentre(hk_->Text1));
    EXPECT_EQ(box(hk_->Text1)->text(), "");
    EXPECT_EQ(hk_->Text1.text(), "");
}

// The context menu's Paste pastes as the edit menu does on Windows: no key filter (a small
// letter stays small), within the maximum length, over the selection.
TEST_F(KeyBoxes, TheContextMenuPastesWithinTheMaximumLength)
{
    ASSERT_NO_FATAL_FAILURE(emptyText1());
    QGuiApplication::clipboard()->setText("k9");
    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(hk_->Text1, "&Paste"));
    EXPECT_EQ(hk_->Text1.text(), "k");
    EXPECT_EQ(box(hk_->Text1)->text(), "k");
    EXPECT_TRUE(askedFor(hk_->Text1).empty()) << "a paste is no typing";

    // The menu offers what makes sense without a selection, and no Undo.
    clickDesigned(hk_->Text1, 3);
    ASSERT_TRUE(waitFor([] { return QApplication::activePopupWidget() != nullptr; }, 5000));
    ASSERT_NE(menuEntry("&Paste"), nullptr);
    EXPECT_EQ(menuEntry("&Undo"), nullptr);
    EXPECT_FALSE(menuEntry("Cu&t")->isEnabled());
    EXPECT_FALSE(menuEntry("&Copy")->isEnabled());
    EXPECT_FALSE(menuEntry("&Delete")->isEnabled());
    EXPECT_TRUE(menuEntry("Select &All")->isEnabled());
    ASSERT_TRUE(x_.key("Escape"));
    ASSERT_TRUE(waitFor([] { return QApplication::activePopupWidget() == nullptr; }, 5000));
    // Full: nothing more goes in.
    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(hk_->Text1, "&Paste"));
    EXPECT_EQ(hk_->Text1.text(), "k");

    // Select All, then Paste replaces the selection.
    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(hk_->Text1, "Select &All"));
    EXPECT_EQ(box(hk_->Text1)->selectedText(), "k");
    QGuiApplication::clipboard()->setText("Q");
    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(hk_->Text1, "&Paste"));
    EXPECT_EQ(hk_->Text1.text(), "Q");

    // Cut takes the selection to the clipboard; Delete takes it away.
    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(hk_->Text1, "Select &All"));
    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(hk_->Text1, "Cu&t"));
    EXPECT_EQ(hk_->Text1.text(), "");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Q");
    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(hk_->Text1, "&Paste"));
    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(hk_->Text1, "Select &All"));
    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(hk_->Text1, "&Delete"));
    EXPECT_EQ(hk_->Text1.text(), "");
    EXPECT_EQ(box(hk_->Text1)->text(), "");
    EXPECT_TRUE(askedFor(hk_->Text1).empty());

    // Shift+Delete cuts, as the Windows box does.
    QGuiApplication::clipboard()->setText("W");
    ASSERT_NO_FATAL_FAILURE(chooseFromMenu(hk_->Text1, "&Paste"));
    ASSERT_TRUE(waitFor([&] { return hk_->Text1.text() == "W"; }, 3000));
    QGuiApplication::clipboard()->setText("Z");
    ASSERT_TRUE(x_.key("a", {"Control_L"}));
    ASSERT_TRUE(x_.key("Delete", {"Shift_L"}));
    EXPECT_TRUE(waitFor([&] { return hk_->Text1.text().empty(); }, 3000));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "W");
}

// Keys read from a settings file that another program wrote: longer than one character, and
// beyond Latin-1.
class KeyBoxesWithStoredKeys : public KeyBoxes {
protected:
    void prepareSettings(const std::string& folder) override
    {
        copyDeliveredSettings(folder, "UPDATE ky SET shutdown = 'SHUT', restart = '\xD0\x96R'");
    }
};

TEST_F(KeyBoxesWithStoredKeys, TheBoxesShowTheWholeTextInUtf8)
{
    EXPECT_EQ(hk_->Text1.text(), "SHUT");
    EXPECT_EQ(box(hk_->Text1)->text(), "SHUT") << "the widget cut what the program holds";
    EXPECT_EQ(box(hk_->Text2)->text(), QString::fromUtf8("\xD0\x96R"));

    // The maximum length refuses typing; Backspace and Delete shorten it where the caret is.
    clickDesigned(hk_->Text1);
    ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() == box(hk_->Text1); }));
    ASSERT_TRUE(x_.key("End"));
    ASSERT_TRUE(x_.key("k"));
    settle();
    EXPECT_EQ(hk_->Text1.text(), "SHUT");
    ASSERT_TRUE(x_.key("BackSpace"));
    EXPECT_TRUE(waitFor([&] { return hk_->Text1.text() == "SHU"; }, 3000)) << hk_->Text1.text();
    ASSERT_TRUE(x_.key("Home"));
    ASSERT_TRUE(x_.key("Delete"));
    EXPECT_TRUE(waitFor([&] { return hk_->Text1.text() == "HU"; }, 3000)) << hk_->Text1.text();
    EXPECT_EQ(box(hk_->Text1)->text(), "HU");

    // Delete takes a character beyond Latin-1 away whole and reads the rest back as it is.
    clickDesigned(hk_->Text2);
    ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() == box(hk_->Text2); }));
    ASSERT_TRUE(x_.key("Home"));
    ASSERT_TRUE(x_.key("Delete"));
    EXPECT_TRUE(waitFor([&] { return hk_->Text2.text() == "R"; }, 3000)) << hk_->Text2.text();
    EXPECT_EQ(box(hk_->Text2)->text(), "R");
}

}  // namespace
}  // namespace tolvane::test

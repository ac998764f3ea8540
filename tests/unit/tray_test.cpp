// TrayArea, the notification-area icon control, against a shell that keeps every record
// it is sent.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "tray/tray_area.h"

namespace tolvane {
namespace {

struct Request {
    uint32_t message;
    NotifyIconRecord record;
};

class FakeShell : public ShellApi {
public:
    bool Shell_NotifyIcon(uint32_t message, const NotifyIconRecord& record) override
    {
        requests.push_back({message, record});
        return true;
    }
    uint32_t createMessageWindow(MessageHandler h) override
    {
        handler = std::move(h);
        return kWindow;
    }
    void destroyMessageWindow(uint32_t hWnd) override { destroyed.push_back(hWnd); }

    size_t count(uint32_t message) const
    {
        size_t n = 0;
        for (const Request& r : requests) n += r.message == message ? 1 : 0;
        return n;
    }

    // Four distinct bytes, so that a wrong byte order shows.
    static constexpr uint32_t kWindow = 0x0A0B0C0D;
    std::vector<Request> requests;
    std::vector<uint32_t> destroyed;
    MessageHandler handler;
};

class FakeDisplay : public DisplayApi {
public:
    void InitCommonControls() override {}
    bool SetWindowPos(Window&, int, int, int, int, int, uint32_t) override { return true; }
    int twipsPerPixelX() override { return twips; }
    uint32_t pictureHandle(const std::string&) override { return 0; }
    int twips = 15;
};

uint32_t le32(const NotifyIconRecord& r, size_t offset)
{
    return static_cast<uint32_t>(r[offset]) | static_cast<uint32_t>(r[offset + 1]) << 8 |
           static_cast<uint32_t>(r[offset + 2]) << 16 | static_cast<uint32_t>(r[offset + 3]) << 24;
}

std::string tipBytes(const NotifyIconRecord& r)
{
    return std::string(r.begin() + 24, r.end());
}

class TrayTest : public ::testing::Test {
protected:
    FakeShell shell;
    FakeDisplay display;
    Rnd rnd;
    std::unique_ptr<TrayArea> tray = std::make_unique<TrayArea>(shell, display, rnd);

    const Request& last() const { return shell.requests.back(); }
};

TEST_F(TrayTest, AddRecordHasEveryFieldAtItsOffsetLittleEndian)
{
    tray->setIcon(0x11223344u);
    tray->setToolTip("Open");
    shell.requests.clear();
    tray->setVisible(true);

    ASSERT_EQ(shell.requests.size(), 1u);
    const NotifyIconRecord& r = last().record;
    EXPECT_EQ(last().message, kNimAdd);
    const uint8_t head[24] = {88,   0,    0,    0,      // cbSize
                              0x0D, 0x0C, 0x0B, 0x0A,   // hWnd
                              0,    0,    0,    0,      // uID, checked below
                              7,    0,    0,    0,      // uFlags: message, icon, tip
                              0x00, 0x02, 0,    0,      // uCallbackMessage 512
                              0x44, 0x33, 0x22, 0x11};  // hIcon
    for (size_t i = 0; i < 24; ++i) {
        if (i >= 8 && i < 12) continue;
        EXPECT_EQ(r[i], head[i]) << "byte " << i;
    }
    Rnd same;
    EXPECT_EQ(le32(r, 8), static_cast<uint32_t>(same.next() * 65535 + 1));
    EXPECT_EQ(tipBytes(r), std::string("Open") + '\0' + std::string(59, ' '));
}

TEST_F(TrayTest, ToolTipIsTrimmedOfSpacesOnlyAndSentAtOnce)
{
    tray->setToolTip("  Open  ");
    EXPECT_EQ(tray->toolTip(), "Open");
    ASSERT_EQ(shell.requests.size(), 1u);  // sent although no icon is shown
    EXPECT_EQ(last().message, kNimModify);
    EXPECT_EQ(le32(last().record, 12), 4u);
    EXPECT_EQ(tipBytes(last().record), std::string("Open") + '\0' + std::string(59, ' '));

    tray->setToolTip("\tOpen ");
    EXPECT_EQ(tray->toolTip(), "\tOpen");
    tray->setToolTip("   ");
    EXPECT_EQ(tray->toolTip(), "");
    EXPECT_EQ(tipBytes(last().record), std::string(1, '\0') + std::string(63, ' '));
}

TEST_F(TrayTest, TipFieldOfLongTextsIsCutWithoutItsNul)
{
    const std::string t63(63, 'a');
    tray->setToolTip(t63);
    EXPECT_EQ(tipBytes(last().record), t63 + '\0');

    std::string t64(63, 'b');
    t64 += 'c';
    tray->setToolTip(t64);
    EXPECT_EQ(tipBytes(last().record), t64);

    tray->setToolTip(t64 + "defgh");
    EXPECT_EQ(tipBytes(last().record), t64);
    EXPECT_EQ(tray->toolTip(), t64 + "defgh");  // the control keeps the whole text
}

TEST_F(TrayTest, VisibleTwiceAddsOnceAndHiddenTwiceDeletesOnce)
{
    tray->setIcon(5u);
    tray->setVisible(true);
    tray->setVisible(true);
    EXPECT_EQ(shell.count(kNimAdd), 1u);
    EXPECT_TRUE(tray->visible());
    const uint32_t id = le32(last().record, 8);

    tray->setVisible(false);
    tray->setVisible(false);
    EXPECT_EQ(shell.count(kNimDelete), 1u);
    EXPECT_EQ(le32(last().record, 8), id);  // the delete names the icon that was added
    EXPECT_FALSE(tray->visible());
}

TEST_F(TrayTest, AddWithoutAPictureHasNoIconFlag)
{
    tray->setVisible(true);
    EXPECT_EQ(le32(last().record, 12), 1u);  // NIF_MESSAGE alone
    tray->setVisible(false);
    tray->setToolTip("Open");
    tray->setVisible(true);
    EXPECT_EQ(last().message, kNimAdd);
    EXPECT_EQ(le32(last().record, 12), 5u);  // NIF_MESSAGE + NIF_TIP
}

TEST_F(TrayTest, NoPictureWhileShownRemovesTheIcon)
{
    tray->setIcon(9u);
    tray->setVisible(true);
    tray->setIcon(std::nullopt);
    EXPECT_EQ(last().message, kNimDelete);
    EXPECT_FALSE(tray->visible());
    EXPECT_FALSE(tray->icon().has_value());
}

TEST_F(TrayTest, PictureWhileShownIsAModifyAndWhileHiddenSendsNothing)
{
    tray->setVisible(true);
    tray->setIcon(0x77u);
    EXPECT_EQ(last().message, kNimModify);
    EXPECT_EQ(le32(last().record, 12), 2u);
    EXPECT_EQ(le32(last().record, 20), 0x77u);

    tray->setVisible(false);
    const size_t before = shell.requests.size();
    tray->setIcon(0x99u);
    EXPECT_EQ(shell.requests.size(), before);
    tray->setVisible(true);
    EXPECT_EQ(last().message, kNimAdd);
    EXPECT_EQ(le32(last().record, 12), 3u);
    EXPECT_EQ(le32(last().record, 20), 0x99u);
}

TEST_F(TrayTest, OutsideRunModeNoIconIsAdded)
{
    tray->userMode = false;
    tray->setVisible(true);
    EXPECT_TRUE(shell.requests.empty());
    EXPECT_TRUE(tray->visible());
}

TEST_F(TrayTest, DestructionDeletesTheIconAndItsWindow)
{
    tray->setVisible(true);
    const uint32_t id = le32(last().record, 8);
    tray.reset();
    EXPECT_EQ(shell.requests.back().message, kNimDelete);
    EXPECT_EQ(le32(shell.requests.back().record, 8), id);
    EXPECT_EQ(shell.destroyed, std::vector<uint32_t>{FakeShell::kWindow});
}

// The identities of successive adds: in range, and the same sequence in every run.
std::vector<uint32_t> identities(int adds)
{
    FakeShell shell;
    FakeDisplay display;
    Rnd rnd;
    TrayArea tray(shell, display, rnd);
    std::vector<uint32_t> ids;
    for (int i = 0; i < adds; ++i) {
        tray.setVisible(true);
        ids.push_back(le32(shell.requests.back().record, 8));
        tray.setVisible(false);
    }
    return ids;
}

TEST(TrayIdentity, SameSequenceInEveryRunAndInRange)
{
    const std::vector<uint32_t> first = identities(2000);
    EXPECT_EQ(first, identities(2000));
    EXPECT_NE(first[0], first[1]);
    std::set<uint32_t> distinct(first.begin(), first.end());
    EXPECT_GT(distinct.size(), 1900u);
    for (uint32_t id : first) {
        EXPECT_GE(id, 1u);
        EXPECT_LE(id, 65535u);
    }
}

TEST(TrayIdentity, GeneratorStaysInTheUnitInterval)
{
    Rnd rnd;
    for (int i = 0; i < 100000; ++i) {
        const double r = rnd.next();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
    }
}

struct Raised {
    std::vector<std::string> events;
};

void wire(TrayArea& tray, Raised& raised)
{
    tray.MouseMove = [&] { raised.events.push_back("MouseMove"); };
    tray.MouseDown = [&](int16_t& b) { raised.events.push_back("MouseDown " + std::to_string(b)); };
    tray.MouseUp = [&](int16_t& b) { raised.events.push_back("MouseUp " + std::to_string(b)); };
    tray.DblClick = [&] { raised.events.push_back("DblClick"); };
}

TEST_F(TrayTest, MouseMessagesDecodeToTheFourEvents)
{
    for (int twips : {15, 12}) {  // 96 and 120 dots per inch
        display.twips = twips;
        Raised raised;
        wire(*tray, raised);
        const std::vector<std::pair<uint32_t, std::string>> table = {{512, "MouseMove"},
                                                                     {513, "MouseDown 1"},
                                                                     {514, "MouseUp 1"},
                                                                     {515, "DblClick"},
                                                                     {516, "MouseDown 2"},
                                                                     {517, "MouseUp 2"},
                                                                     {518, "DblClick"},
                                                                     {519, ""},
                                                                     {520, ""},
                                                                     {521, ""},
                                                                     {511, ""},
                                                                     {0, ""}};
        for (const auto& [message, event] : table) {
            raised.events.clear();
            shell.handler(512, message);
            EXPECT_EQ(raised.events, event.empty() ? std::vector<std::string>{} : std::vector<std::string>{event})
                << "message " << message << " at " << twips << " twips a pixel";
        }
        // Only the callback message carries mouse activity.
        raised.events.clear();
        shell.handler(513, 513);
        EXPECT_TRUE(raised.events.empty());
    }
}

TEST_F(TrayTest, ControlKeepsTheSizeOfItsFace)
{
    EXPECT_EQ(tray->width(), 510);
    EXPECT_EQ(tray->height(), 510);
    tray->resized(2000, 100);
    EXPECT_EQ(tray->width(), 510);
    EXPECT_EQ(tray->height(), 510);
    tray->resized(510, 900);
    EXPECT_EQ(tray->width(), 510);
    EXPECT_EQ(tray->height(), 510);
}

}  // namespace
}  // namespace tolvane

namespace {

// The tooltip goes to the shell in the ANSI code page: one byte a character.
TEST(TipField, ConvertsToTheAnsiCodePage)
{
    const std::string field = tolvane::tipField("Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(field.substr(0, 7), std::string("Caf\xE9 ?\0", 7));
    EXPECT_EQ(tolvane::fromAnsi(field.substr(0, 5)), "Caf\xC3\xA9 ");
    std::string accents;
    for (int i = 0; i < 64; ++i) accents += "\xC3\xA9";
    EXPECT_EQ(tolvane::tipField(accents), std::string(64, '\xE9'));  // 64 characters, not 64 bytes
}

}  // namespace

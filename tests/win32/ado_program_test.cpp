// The program on top of Wine's ADO, and the conversions at this edge on real VARIANTs.
#include "tests/win32/ado_fixture.h"

using namespace tolvane;
using namespace tolvane::adotest;

namespace {

// --- The program on top of it. ----------------------------------------------------------

class Fakes : private EventLoopApi,
              private DisplayApi,
              private DialogApi,
              private ClockApi,
              private PrivilegeApi,
              private PowerApi,
              private KeyboardApi,
              private ShellApi,
              private LauncherApi,
              private WebApi,
              private EnvironmentApi {
public:
    Fakes(std::string windowsDirectory, StoreApi& store)
        : platform{windows, *this, *this, *this, *this, *this, *this, *this, *this, *this, *this, *this, store},
          windowsDirectory_(std::move(windowsDirectory))
    {
    }
    WindowSystem windows;
    Platform platform;
    std::vector<std::string> messages;
    std::vector<std::string> powerCalls;

private:
    void processPendingEvents() override {}
    void InitCommonControls() override {}
    bool SetWindowPos(Window&, int, int, int, int, int, uint32_t) override { return true; }
    int twipsPerPixelX() override { return 15; }
    uint32_t pictureHandle(const std::string&) override { return 1; }
    void MessageBox(const std::string& title, const std::string& text) override
    {
        messages.push_back(title + ": " + text);
    }
    int64_t sinceBoot() override { return 0; }
    int64_t localTime() override { return 12 * 3600 * 1000; }
    uintptr_t GetCurrentProcess() override { return 1; }
    bool OpenProcessToken(uintptr_t, uint32_t, uintptr_t& token) override
    {
        token = 2;
        return true;
    }
    bool LookupPrivilegeValueA(const char*, const char*, Luid&) override { return true; }
    bool AdjustTokenPrivileges(uintptr_t, bool, const tolvane::TokenPrivileges<1>&, uint32_t,
                               tolvane::TokenPrivileges<2>&, uint32_t&) override
    {
        return true;
    }
    bool ExitWindowsEx(uint32_t flags, uint32_t) override
    {
        powerCalls.push_back("ExitWindowsEx " + std::to_string(flags));
        return true;
    }
    bool SetSystemPowerState(bool suspend, bool) override
    {
        powerCalls.push_back(std::string("SetSystemPowerState ") + (suspend ? "1" : "0"));
        return true;
    }
    int16_t GetAsyncKeyState(int) override { return 0; }
    bool Shell_NotifyIcon(uint32_t, const NotifyIconRecord&) override { return true; }
    uint32_t createMessageWindow(MessageHandler) override { return 7; }
    void destroyMessageWindow(uint32_t) override {}
    double Shell(const std::string&, int) override { return 1; }
    void Navigate(WebView&, const std::string&) override {}
    std::string windowsDirectory() override { return windowsDirectory_; }
    char pathSeparator() override { return '\\'; }

    std::string windowsDirectory_;
};

TEST_F(AdoTest, TheProgramOverWinesAdoTellsOnceRunsWithoutHotkeysAndNeverWrites)
{
    makeDeliveredFile();
    OdbcAdoStore store(adoString());
    Fakes fakes(folder, store);
    Program program(fakes.platform);
    program.start();
    ASSERT_EQ(fakes.messages.size(), 1u);
    EXPECT_EQ(fakes.messages[0], "Tolvane 3.0: The hotkey settings in " + folder +
                                     "\\tolvdata.v cannot be used: field 0 of table en cannot be read (Value failed: "
                                     "there is no current record, error 0x800A0BCD). Tolvane runs without hotkeys and "
                                     "leaves the file as it is.");
    EXPECT_EQ(program.form1().hotkeySettings.hkeyflag, (std::array<std::string, 5>{}));
    EXPECT_EQ(program.form1().hotkeySettings.hkeychar, (std::array<std::string, 5>{}));

    // SET with valid keys is refused, and nothing reaches the file.
    const char* keys[] = {"A", "B", "C", "D", "E"};
    for (size_t row = 0; row < 5; ++row) {
        program.hk().keys()[row]->setText(keys[row]);
        program.hk().checks()[row]->setValue(1);
    }
    program.form1().hotkeySettings.savehkey();
    ASSERT_EQ(fakes.messages.size(), 2u);
    EXPECT_EQ(fakes.messages[1].rfind("Tolvane 3.0: The hotkey settings were not saved, because", 0), 0u)
        << fakes.messages[1];
    EXPECT_EQ(odbc->rows("select * from en"), std::vector<std::string>{"0|0|0|0|0"});
    EXPECT_EQ(odbc->rows("select * from ky"), std::vector<std::string>{"S|R|L|H|B"});
    EXPECT_TRUE(fakes.powerCalls.empty());
}

// --- The conversions at this edge, on real VARIANTs. --------------------------------------

std::string textOf(VARIANT& v)
{
    auto text = win32::fieldTextOf(v, "field 2 of table ky");
    VariantClear(&v);
    return text ? "text:" + text.value() : "error:" + text.error().message;
}

VARIANT bstrVariant(const std::wstring& text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return v;
}

TEST(AdoValues, ANullOrEmptyValueIsRefusedWithAClearMessage)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_NULL;
    EXPECT_EQ(textOf(v), "error:field 2 of table ky is empty (Null)");
    VariantInit(&v);
    EXPECT_EQ(textOf(v), "error:field 2 of table ky is empty (Null)");
    VariantInit(&v);
    v.vt = VT_UNKNOWN;
    v.punkVal = nullptr;
    EXPECT_EQ(textOf(v), "error:field 2 of table ky cannot be read as text");
}

TEST(AdoValues, NumbersReadAsTheirText)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I2;
    v.iVal = 1;
    EXPECT_EQ(textOf(v), "text:1");
    v.vt = VT_I4;
    v.lVal = 0;
    EXPECT_EQ(textOf(v), "text:0");
    v.vt = VT_UI1;
    v.bVal = 7;
    EXPECT_EQ(textOf(v), "text:7");
}

TEST(AdoValues, TextsCrossAsUtf8InsideAndUtf16InAdo)
{
    VARIANT v = bstrVariant(L"S");
    EXPECT_EQ(textOf(v), "text:S");
    v = bstrVariant(L"\u00C4");  // A with diaeresis: two bytes in UTF-8, whatever the code page
    EXPECT_EQ(textOf(v), "text:\xC3\x84");
    v = bstrVariant(L"\u20AC");  // the euro sign: three bytes
    EXPECT_EQ(textOf(v), "text:\xE2\x82\xAC");
    v = bstrVariant(L"\U0001F600");  // beyond the BMP: a surrogate pair, four bytes
    EXPECT_EQ(textOf(v), "text:\xF0\x9F\x98\x80");
    v = bstrVariant(L"");
    EXPECT_EQ(textOf(v), "text:");
    v = bstrVariant(std::wstring(L"a\0b", 3));  // a BSTR's length counts, not a terminator
    EXPECT_EQ(textOf(v), std::string("text:a\0b", 8));
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new AdoEnvironment);
    return RUN_ALL_TESTS();
}

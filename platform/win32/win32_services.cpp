#include "platform/win32/win32_services.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/model/twips.h"
#include "platform/model/window.h"
#include "platform/win32/win32_ui.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/window_class.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#undef MessageBox
#undef Shell_NotifyIcon

namespace tolvane::win32 {

static_assert(sizeof(void*) == 4, "the tray record carries 32-bit handles: tolv.exe is a 32-bit program");
// The logic's record (platform/model/win_codes.h) is the first NOTIFYICONDATAA, field for field.
static_assert(NOTIFYICONDATAA_V1_SIZE == kNotifyRecordSize, "the first NOTIFYICONDATAA is 88 bytes");
static_assert(offsetof(NOTIFYICONDATAA, cbSize) == kNotifySizeAt &&
                  offsetof(NOTIFYICONDATAA, hWnd) == kNotifyWindowAt && offsetof(NOTIFYICONDATAA, uID) == kNotifyIdAt &&
                  offsetof(NOTIFYICONDATAA, uFlags) == kNotifyFlagsAt &&
                  offsetof(NOTIFYICONDATAA, uCallbackMessage) == kNotifyCallbackAt &&
                  offsetof(NOTIFYICONDATAA, hIcon) == kNotifyIconAt &&
                  offsetof(NOTIFYICONDATAA, szTip) == kNotifyTipAt &&
                  kNotifyTipAt + kNotifyTipSize == NOTIFYICONDATAA_V1_SIZE,
              "the tray record's fields lie where the logic writes them");
static_assert(NIM_ADD == kNimAdd && NIM_MODIFY == kNimModify && NIM_DELETE == kNimDelete &&
                  NIF_MESSAGE == kNifMessage && NIF_ICON == kNifIcon && NIF_TIP == kNifTip,
              "the tray requests and flags are Windows' own numbers");

namespace {

constexpr const char* kTrayClass = "TolvaneTray";
constexpr UINT kTrayCallback = kWmMouseMove;  // as the tray control asks for

LRESULT CALLBACK trayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kTrayCallback) {
        auto* handler = ownerOf<ShellApi::MessageHandler>(hwnd);
        if (handler && *handler) (*handler)(message, static_cast<uint32_t>(lParam));
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int16_t Win32Keyboard::GetAsyncKeyState(int virtualKey)
{
    return static_cast<int16_t>(::GetAsyncKeyState(virtualKey));
}

void copyNotifyRecord(const NotifyIconRecord& record, void* out)
{
    std::memcpy(out, record.data(), record.size());
}

std::string systemTipField(const uint8_t* field64)
{
    constexpr size_t kField = kNotifyTipSize;
    const auto* end = static_cast<const uint8_t*>(std::memchr(field64, 0, kField));
    const bool terminated = end != nullptr;
    if (!end) end = field64 + kField;
    // A Latin-1 byte is the Unicode code of its character.
    std::wstring wide(field64, end);
    std::string field = bytesFrom(CP_ACP, wide);
    if (terminated) field += '\0';
    field.resize(std::max(field.size(), kField), ' ');
    field.resize(kField);
    return field;
}

bool Win32Shell::Shell_NotifyIcon(uint32_t message, const NotifyIconRecord& record)
{
    NOTIFYICONDATAA data{};
    copyNotifyRecord(record, &data);
    const std::string tip = systemTipField(record.data() + offsetof(NOTIFYICONDATAA, szTip));
    std::memcpy(data.szTip, tip.data(), sizeof data.szTip);
    // The record names the size it was built with (88, or 0 before its first add);
    // the shell reads only that much.
    return ::Shell_NotifyIconA(message, &data) != FALSE;
}

uint32_t Win32Shell::createMessageWindow(MessageHandler handler)
{
    HINSTANCE inst = static_cast<HINSTANCE>(instance_);
    registerWindowClass(inst, {kTrayClass, trayProc});
    // A hidden top-level window rather than a message-only one: FindWindow finds it, so
    // a test driver can send it the shell's callback as the shell would.
    HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, kTrayClass, "TrayArea", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, inst,
                                nullptr);
    if (!hwnd) return 0;
    setOwner(hwnd, new MessageHandler(std::move(handler)));
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hwnd));
}

void Win32Shell::destroyMessageWindow(uint32_t hWnd)
{
    HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(hWnd));
    if (!IsWindow(hwnd)) return;
    MessageHandler* handler = ownerOf<MessageHandler>(hwnd);
    setOwner(hwnd, nullptr);
    delete handler;
    DestroyWindow(hwnd);
}

void Win32Display::InitCommonControls()
{
    ::InitCommonControls();
}

bool Win32Display::SetWindowPos(Window& window, int insertAfter, int x, int y, int cx, int cy, uint32_t flags)
{
    HWND hwnd = static_cast<HWND>(ui_.windowHandle(window));
    if (!hwnd) return false;
    HWND after = reinterpret_cast<HWND>(static_cast<intptr_t>(insertAfter));  // -1 HWND_TOPMOST, -2 NOTOPMOST
    return ::SetWindowPos(hwnd, after, x, y, cx, cy, flags) != FALSE;
}

int Win32Display::twipsPerPixelX()
{
    return twipsPerPixel(ui_.dotsPerInch());
}

uint32_t Win32Display::pictureHandle(const std::string& name)
{
    // The tray wants the small icon; the window's own icon is the same resource.
    HANDLE icon = LoadImageA(static_cast<HINSTANCE>(instance_), resourceName(name).c_str(), IMAGE_ICON,
                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(icon));
}

void Win32Dialogs::MessageBox(const std::string& title, const std::string& text)
{
    ::MessageBoxA(GetActiveWindow(), ansiFromUtf8(text).c_str(), ansiFromUtf8(title).c_str(), MB_OK);
}

void Win32Dialogs::alert(const std::string& title, const std::string& text)
{
    ::MessageBoxA(GetActiveWindow(), ansiFromUtf8(text).c_str(), ansiFromUtf8(title).c_str(),
                  MB_OK | MB_TOPMOST | MB_SETFOREGROUND);
}

double Win32Launcher::Shell(const std::string& commandLine, int windowStyle)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION process{};
    std::string line = ansiFromUtf8(commandLine);  // CreateProcessA may write into its command line
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0;  // a link that cannot be opened is ignored
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<double>(process.dwProcessId);
}

std::string Win32Environment::windowsDirectory()
{
    char value[MAX_PATH + 1];
    SetLastError(0);
    const DWORD n = GetEnvironmentVariableA("windir", value, sizeof value);
    if (n > 0 && n < sizeof value) return utf8FromAnsi(std::string(value, n));
    if (n == 0 && GetLastError() != ERROR_ENVVAR_NOT_FOUND) return "";  // set, and empty
    const UINT m = GetWindowsDirectoryA(value, sizeof value);
    return m > 0 && m < sizeof value ? utf8FromAnsi(std::string(value, m)) : std::string();
}

}  // namespace tolvane::win32

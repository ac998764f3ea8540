#include "platform/win32/win32_web_panel.h"

#include "platform/win32/win32_text.h"

#include <windows.h>
#include <exdisp.h>
#include <ole2.h>

namespace tolvane::win32 {

// atl.dll's functions, looked up at run time (the import libraries of mingw-w64 have no
// atl.dll); `ready` once both are there and AtlAxWin is registered. The class is the
// process's: AtlAxWinInit registers it for the first panel of the process, and refuses to
// register it again for a later one (another backend, as the tests make them).
struct Win32WebPanel::AtlCalls {
    using AtlAxWinInitFn = BOOL(WINAPI*)();
    using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);
    AtlAxGetControlFn getControl = nullptr;
    bool ready = false;

    AtlCalls()
    {
        HMODULE atl = LoadLibraryA("atl.dll");
        if (!atl) return;
        auto init = reinterpret_cast<AtlAxWinInitFn>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
        getControl =
            reinterpret_cast<AtlAxGetControlFn>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
        WNDCLASSEXA registered{};
        registered.cbSize = sizeof registered;
        ready = init && getControl && (GetClassInfoExA(atl, kHostClass, &registered) || init());
    }
    static constexpr const char* kHostClass = "AtlAxWin";
};

Win32WebPanel::Win32WebPanel() = default;
Win32WebPanel::~Win32WebPanel() = default;

bool Win32WebPanel::host(const char*& windowClass, const char*& text)
{
    if (!atl_) atl_ = std::make_unique<AtlCalls>();
    if (!atl_->ready) return false;
    windowClass = AtlCalls::kHostClass;
    text = "Shell.Explorer.2";
    return true;
}

void Win32WebPanel::navigate(void* panel, const std::string& url) const
{
    HWND hwnd = static_cast<HWND>(panel);
    if (!hwnd || !atl_ || !atl_->ready) return;
    IUnknown* unknown = nullptr;
    if (FAILED(atl_->getControl(hwnd, &unknown)) || !unknown) return;
    IWebBrowser2* browser = nullptr;
    if (SUCCEEDED(unknown->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))) && browser) {
        BSTR address = SysAllocString(widen(url).c_str());
        VARIANT none;
        VariantInit(&none);
        browser->Navigate(address, &none, &none, &none, &none);
        SysFreeString(address);
        browser->Release();
    }
    unknown->Release();
}

}  // namespace tolvane::win32

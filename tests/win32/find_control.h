#pragma once
// A control of the program's windows found as a test driver in another process finds it:
// by the design name the program gives each native control (the window property
// "TolvaneName", a global atom), never through the backend's own tables.
#include <string>

#include <windows.h>

namespace tolvane::test {

namespace detail {

struct NameSearch {
    std::string name;
    HWND found = nullptr;
};

inline BOOL CALLBACK matchName(HWND h, LPARAM p)
{
    auto* s = reinterpret_cast<NameSearch*>(p);
    const auto atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(GetPropA(h, "TolvaneName")));
    char text[64] = {};
    // Atoms ignore letter case (HK's "combo1" reads back as Form1's "Combo1"); no window
    // has two controls whose names differ only in case.
    if (atom && GlobalGetAtomNameA(atom, text, sizeof text) && lstrcmpiA(s->name.c_str(), text) == 0) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

}  // namespace detail

// The native control named `name` in the window `parent`, or null.
inline HWND childNamed(HWND parent, const std::string& name)
{
    detail::NameSearch search{name};
    EnumChildWindows(parent, detail::matchName, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace tolvane::test

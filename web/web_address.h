#pragma once
// The maker's three pages. The host is a build setting (TOLVANE_WEB_HOST).
#include <string>

#ifndef TOLVANE_WEB_HOST
#error "TOLVANE_WEB_HOST is set by the build"
#endif

namespace tolvane {

inline std::string homePageAddress()
{
    return std::string("http://") + TOLVANE_WEB_HOST;
}
inline std::string infoPageAddress()
{
    return homePageAddress() + "/info.php?n=tolv";
}
inline std::string redirectPageAddress()
{
    return homePageAddress() + "/redirect.html";
}

}  // namespace tolvane

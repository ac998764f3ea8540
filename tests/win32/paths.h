#pragma once
// Paths in the Windows tests, which run under Wine and are handed the host's paths.
#include <string>

#include <windows.h>

namespace tolvane::test {

// A host path as the Windows program sees it (/tmp/x is Z:\tmp\x under Wine); a path that
// is no host path (no leading slash) stays as it is.
inline std::string windowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/') c = '\\';
        path = "Z:" + path;
    }
    return path;
}

// A file of the given name in the Windows temporary folder.
inline std::string tempPath(const char* name)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

}  // namespace tolvane::test

#pragma once
// A fresh folder for one test, under the system's temporary folder, removed with the object.
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace tolvane::test {

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tolvane-test-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempFolder()
    {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // Empty when no folder could be made.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace tolvane::test

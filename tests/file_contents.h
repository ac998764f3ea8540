#pragma once
// A file's whole contents as a string, read or written, for the tests of every platform.
// Paths are narrow strings, opened as the platform opens them (under Windows: in the ANSI
// code page, as the program's own files are).
#include <fstream>
#include <sstream>
#include <string>

namespace tolvane::test {

// The file's bytes as they are, line ends untouched; empty when it cannot be read.
inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The file made or replaced with exactly these bytes.
inline void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace tolvane::test

#pragma once
// The settings file named in the ADO-style connection string the logic builds
// ("Provider=...;Data Source=C:\WINDOWS\tolvdata.v;Persist Security Info=False"). Every
// settings store reads the file from it here. Keywords of a connection string are not case
// sensitive for ADO, so neither are they here; the value is kept as it is written. The
// recordsets' sources are read here too.
#include <algorithm>
#include <string>

namespace tolvane {

// Where the value of "Data Source=" lies in a connection string: from just after the '='
// up to its ';' or the end. False when the string has no Data Source.
inline bool findDataSource(const std::string& connectionString, size_t& start, size_t& end)
{
    static const std::string key = "data source=";
    std::string lower = connectionString;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    const size_t at = lower.find(key);
    if (at == std::string::npos) return false;
    start = at + key.size();
    end = std::min(connectionString.find(';', start), connectionString.size());
    return true;
}

// The value of "Data Source=" in a connection string, up to its ';' (or the end); "" when
// there is none.
inline std::string dataSourceOf(const std::string& connectionString)
{
    size_t start = 0, end = 0;
    return findDataSource(connectionString, start, end) ? connectionString.substr(start, end - start) : "";
}

// The connection string with that value replaced by `path` (unchanged when it has none).
inline std::string withDataSource(const std::string& connectionString, const std::string& path)
{
    size_t start = 0, end = 0;
    if (!findDataSource(connectionString, start, end)) return connectionString;
    return connectionString.substr(0, start) + path + connectionString.substr(end);
}

// The table a recordset's source reads: its last word ("select * from ky" reads ky).
inline std::string tableOf(const std::string& source)
{
    const size_t blank = source.find_last_of(' ');
    return blank == std::string::npos ? source : source.substr(blank + 1);
}

}  // namespace tolvane

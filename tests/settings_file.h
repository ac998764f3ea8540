#pragma once
// The settings file of the Linux program and the simulator, an SQLite database, in the
// tests: SQL run on it, and the delivered file (TOLVANE_DEFAULT_SETTINGS) copied into a
// test's folder. An error fails the test with SQLite's message.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

namespace tolvane::test {

// Runs SQL on the database file (made when missing).
inline void execSql(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

// The delivered settings as the folder's tolvdata.v, changed by the SQL when there is some.
inline void copyDeliveredSettings(const std::string& folder, const std::string& sql = "")
{
    const std::string file = folder + "/tolvdata.v";
    std::filesystem::copy_file(TOLVANE_DEFAULT_SETTINGS, file);
    if (!sql.empty()) execSql(file, sql);
}

}  // namespace tolvane::test

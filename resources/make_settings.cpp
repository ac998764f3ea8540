// Build tool: makes a settings database from its SQL text. Usage: SOURCE.sql OUTPUT
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE.sql OUTPUT\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream sql;
    sql << in.rdbuf();
    std::remove(argv[2]);
    sqlite3* db = nullptr;
    char* message = nullptr;
    if (sqlite3_open(argv[2], &db) != SQLITE_OK ||
        sqlite3_exec(db, sql.str().c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", argv[2], message ? message : sqlite3_errmsg(db));
        sqlite3_free(message);
        sqlite3_close(db);
        return 1;
    }
    return sqlite3_close(db) == SQLITE_OK ? 0 : 1;
}

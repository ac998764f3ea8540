#include "platform/sqlite/sqlite_store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>
#include <vector>

namespace tolvane {

namespace fs = std::filesystem;

namespace {

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql)
    {
        rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return rc_ == SQLITE_OK && stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_;
};

std::string sqlName(const std::string& name)
{
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

class SqliteRecordset : public Recordset {
public:
    SqliteRecordset(sqlite3* db, std::string table, std::vector<std::string> columns, std::optional<sqlite3_int64> rowid)
        : db_(db), table_(std::move(table)), columns_(std::move(columns)), rowid_(rowid)
    {
    }

    Result<std::string> fieldText(int16_t position) override
    {
        if (!rowid_) return Error{"the table " + table_ + " has no record"};
        if (position < 0 || position >= static_cast<int>(columns_.size()))
            return Error{"the table " + table_ + " has no field " + std::to_string(position)};
        Statement read(db_, "SELECT " + sqlName(columns_[static_cast<size_t>(position)]) + " FROM " + sqlName(table_) +
                                " WHERE rowid = ?");
        if (!read.ok()) return Error{"the table " + table_ + " cannot be read (" + sqlite3_errmsg(db_) + ")"};
        sqlite3_bind_int64(read.get(), 1, *rowid_);
        const int rc = sqlite3_step(read.get());
        if (rc != SQLITE_ROW) {
            if (rc == SQLITE_DONE) return Error{"the first record of table " + table_ + " is gone"};
            return Error{"the table " + table_ + " cannot be read (" + sqlite3_errmsg(db_) + ")"};
        }
        const std::string where = "field " + std::to_string(position) + " of table " + table_;
        switch (sqlite3_column_type(read.get(), 0)) {
        case SQLITE_NULL:
            return Error{where + " is empty (Null)"};
        case SQLITE_INTEGER:
            return std::to_string(sqlite3_column_int64(read.get(), 0));
        case SQLITE_FLOAT: {
            char text[32];
            std::snprintf(text, sizeof text, "%.15g", sqlite3_column_double(read.get(), 0));
            return std::string(text);
        }
        case SQLITE_TEXT:
            return std::string(reinterpret_cast<const char*>(sqlite3_column_text(read.get(), 0)),
                               static_cast<size_t>(sqlite3_column_bytes(read.get(), 0)));
        default:
            return Error{where + " holds binary data, not a value"};
        }
    }

    Result<void> setField(int16_t position, const FieldValue& value) override
    {
        if (position < 0 || position >= static_cast<int>(columns_.size()))
            return Error{"the table " + table_ + " has no field " + std::to_string(position)};
        pending_[position] = value;
        return success();
    }

    Result<void> cancelUpdate() override
    {
        pending_.clear();
        return success();
    }

    Result<void> update() override
    {
        auto pending = std::move(pending_);
        pending_.clear();
        if (!rowid_) return Error{"the table " + table_ + " has no record"};
        if (pending.empty()) return success();
        std::string sql = "UPDATE " + sqlName(table_) + " SET ";
        bool first = true;
        for (const auto& [position, value] : pending) {
            if (!first) sql += ", ";
            sql += sqlName(columns_[static_cast<size_t>(position)]) + " = ?";
            first = false;
        }
        sql += " WHERE rowid = ?";
        Statement write(db_, sql);
        if (!write.ok()) return Error{"the table " + table_ + " cannot be written (" + sqlite3_errmsg(db_) + ")"};
        int index = 1;
        for (const auto& [position, value] : pending) {
            if (value.isText)
                sqlite3_bind_text(write.get(), index++, value.text.c_str(), static_cast<int>(value.text.size()),
                                  SQLITE_TRANSIENT);
            else
                sqlite3_bind_int(write.get(), index++, value.number);
        }
        sqlite3_bind_int64(write.get(), index, *rowid_);
        if (sqlite3_step(write.get()) != SQLITE_DONE)
            return Error{"the table " + table_ + " cannot be written (" + sqlite3_errmsg(db_) + ")"};
        return success();
    }

private:
    sqlite3* db_;
    std::string table_;
    std::vector<std::string> columns_;
    std::optional<sqlite3_int64> rowid_;
    std::map<int16_t, FieldValue> pending_;
};

class SqliteConnection : public Connection {
public:
    explicit SqliteConnection(std::string defaultFile) : defaultFile_(std::move(defaultFile)) {}
    ~SqliteConnection() override { sqlite3_close(db_); }

    Result<void> open(const std::string& connectionString, const std::string&, const std::string&, int) override
    {
        const std::string path = dataSource(connectionString);
        std::error_code ec;
        if (!fs::exists(path, ec)) {
            if (defaultFile_.empty() || !fs::exists(defaultFile_, ec))
                return Error{"the file does not exist and no delivered default was found"};
            // Put the delivered default in place; never over a file that exists.
            fs::copy_file(defaultFile_, path, fs::copy_options::none, ec);
            if (ec) return Error{"the file does not exist and the delivered default could not be copied there (" +
                                 ec.message() + ")"};
        }
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            return Error{std::string("the file cannot be opened (") + sqlite3_errmsg(db_) + ")"};
        sqlite3_busy_timeout(db_, 1000);
        Statement probe(db_, "SELECT count(*) FROM sqlite_master");
        if (!probe.ok() || sqlite3_step(probe.get()) != SQLITE_ROW)
            return Error{"the file is not a settings database"};
        return success();
    }

    Result<std::unique_ptr<Recordset>> openRecordset(const std::string& source, int, int, int) override
    {
        if (!db_) return Error{"the settings database is not open"};
        const std::string table = tableOf(source);
        Statement select(db_, source);
        if (!select.ok()) {
            std::string why = sqlite3_errmsg(db_);
            if (why.rfind("no such table", 0) == 0) return Error{"the table " + table + " is missing"};
            return Error{"the table " + table + " cannot be read (" + why + ")"};
        }
        std::vector<std::string> columns;
        for (int i = 0; i < sqlite3_column_count(select.get()); ++i) columns.emplace_back(sqlite3_column_name(select.get(), i));
        std::optional<sqlite3_int64> rowid;
        Statement first(db_, "SELECT rowid FROM " + sqlName(table) + " LIMIT 1");
        if (!first.ok()) return Error{"the table " + table + " cannot be read (" + sqlite3_errmsg(db_) + ")"};
        const int rc = sqlite3_step(first.get());
        if (rc == SQLITE_ROW)
            rowid = sqlite3_column_int64(first.get(), 0);
        else if (rc != SQLITE_DONE)
            return Error{"the table " + table + " cannot be read (" + sqlite3_errmsg(db_) + ")"};
        return std::unique_ptr<Recordset>(std::make_unique<SqliteRecordset>(db_, table, std::move(columns), rowid));
    }

    Result<void> beginTrans() override { return exec("BEGIN IMMEDIATE"); }
    Result<void> commitTrans() override { return exec("COMMIT"); }
    Result<void> rollbackTrans() override { return exec("ROLLBACK"); }

private:
    // "select * from ky" reads table ky.
    static std::string tableOf(const std::string& source)
    {
        const size_t space = source.find_last_of(' ');
        return space == std::string::npos ? source : source.substr(space + 1);
    }

    Result<void> exec(const char* sql)
    {
        if (!db_) return Error{"the settings database is not open"};
        char* message = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
            Error error{std::string("the settings file cannot be written (") + (message ? message : "unknown") + ")"};
            sqlite3_free(message);
            return error;
        }
        return success();
    }

    std::string defaultFile_;
    sqlite3* db_ = nullptr;
};

}  // namespace

std::unique_ptr<Connection> SqliteStore::createConnection() { return std::make_unique<SqliteConnection>(defaultFile_); }

std::string dataSource(const std::string& connectionString)
{
    const std::string key = "Data Source=";
    const size_t start = connectionString.find(key);
    if (start == std::string::npos) return "";
    const size_t from = start + key.size();
    const size_t end = connectionString.find(';', from);
    return connectionString.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

std::string findDefaultSettings()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "";
    for (const fs::path& candidate : {exe.parent_path() / "share/tolvane/tolvdata.v",
                                      exe.parent_path().parent_path() / "share/tolvane/tolvdata.v"}) {
        if (fs::exists(candidate, ec)) return candidate.string();
    }
    return "";
}

}  // namespace tolvane

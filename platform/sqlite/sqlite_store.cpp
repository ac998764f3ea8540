#include "platform/sqlite/sqlite_store.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/model/connection_string.h"

namespace tolvane {

namespace fs = std::filesystem;

namespace {

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) { rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr); }
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

// The settings file, opened at its path. A file put in its place while the program runs (a
// backup restored or a dotfiles folder synchronised by rename) is another file: the open one
// would be read as it was and refuse every write. So each read, and each transaction, first
// looks at what the path names now and opens that when it is no longer the open file; within
// a transaction the file stays the one the transaction began on.
class Database {
public:
    Database(std::string path, std::string defaultFile) : path_(std::move(path)), defaultFile_(std::move(defaultFile))
    {
    }
    ~Database() { close(); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the file the path names, as at start-up: a missing file gets the delivered default.
    Result<void> open()
    {
        std::error_code ec;
        if (!fs::exists(path_, ec)) {
            if (defaultFile_.empty() || !fs::exists(defaultFile_, ec))
                return Error{"the file does not exist and no delivered default was found"};
            // Put the delivered default in place; never over a file that exists.
            fs::copy_file(defaultFile_, path_, fs::copy_options::none, ec);
            if (ec)
                return Error{"the file does not exist and the delivered default could not be copied there (" +
                             ec.message() + ")"};
        }
        close();
        ++generation_;
        // Which file this is, taken before it is opened: a file replaced in between is
        // noticed at the next look.
        struct stat named {};
        file_ =
            ::stat(path_.c_str(), &named) == 0 ? std::optional(std::pair(named.st_dev, named.st_ino)) : std::nullopt;
        const auto failed = [this](std::string why) -> Result<void> {
            close();
            return Error{std::move(why)};
        };
        if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            return failed(std::string("the file cannot be opened (") + sqlite3_errmsg(db_) + ")");
        sqlite3_busy_timeout(db_, 1000);
        Statement probe(db_, "SELECT count(*) FROM sqlite_master");
        if (!probe.ok() || sqlite3_step(probe.get()) != SQLITE_ROW)
            return failed("the file is not a settings database");
        return success();
    }

    // The file the path names now, opened again when it is not the open one (or when it
    // could not be opened last time).
    Result<void> current()
    {
        if (db_ && sqlite3_get_autocommit(db_) == 0) return success();
        struct stat named {};
        if (db_ && ::stat(path_.c_str(), &named) == 0 && file_ == std::pair(named.st_dev, named.st_ino))
            return success();
        return open();
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

    sqlite3* handle() const { return db_; }
    // Counts the opens, so that a recordset knows when to look at its table again.
    unsigned generation() const { return generation_; }

private:
    void close()
    {
        sqlite3_close(db_);
        db_ = nullptr;
    }

    std::string path_;
    std::string defaultFile_;
    sqlite3* db_ = nullptr;
    unsigned generation_ = 0;
    std::optional<std::pair<dev_t, ino_t>> file_;
};

// A table as a recordset over it sees it: its fields in order, and its first record.
struct TableView {
    std::vector<std::string> columns;
    std::optional<sqlite3_int64> rowid;
};

Result<TableView> viewTable(sqlite3* db, const std::string& source, const std::string& table)
{
    Statement select(db, source);
    if (!select.ok()) {
        std::string why = sqlite3_errmsg(db);
        if (why.rfind("no such table", 0) == 0) return Error{"the table " + table + " is missing"};
        return Error{"the table " + table + " cannot be read (" + why + ")"};
    }
    TableView view;
    for (int i = 0; i < sqlite3_column_count(select.get()); ++i)
        view.columns.emplace_back(sqlite3_column_name(select.get(), i));
    Statement first(db, "SELECT rowid FROM " + sqlName(table) + " LIMIT 1");
    if (!first.ok()) return Error{"the table " + table + " cannot be read (" + sqlite3_errmsg(db) + ")"};
    const int rc = sqlite3_step(first.get());
    if (rc == SQLITE_ROW)
        view.rowid = sqlite3_column_int64(first.get(), 0);
    else if (rc != SQLITE_DONE)
        return Error{"the table " + table + " cannot be read (" + sqlite3_errmsg(db) + ")"};
    return view;
}

class SqliteRecordset : public Recordset {
public:
    SqliteRecordset(std::shared_ptr<Database> db, std::string source, std::string table, TableView view)
        : db_(std::move(db)),
          source_(std::move(source)),
          table_(std::move(table)),
          view_(std::move(view)),
          generation_(db_->generation())
    {
    }

    Result<std::string> fieldText(int16_t position) override
    {
        if (auto ready = current(); !ready) return ready.error();
        if (!view_.rowid) return Error{"the table " + table_ + " has no record"};
        if (position < 0 || position >= static_cast<int>(view_.columns.size()))
            return Error{"the table " + table_ + " has no field " + std::to_string(position)};
        sqlite3* db = db_->handle();
        Statement read(db, "SELECT " + sqlName(view_.columns[static_cast<size_t>(position)]) + " FROM " +
                               sqlName(table_) + " WHERE rowid = ?");
        if (!read.ok()) return Error{"the table " + table_ + " cannot be read (" + sqlite3_errmsg(db) + ")"};
        sqlite3_bind_int64(read.get(), 1, *view_.rowid);
        const int rc = sqlite3_step(read.get());
        if (rc != SQLITE_ROW) {
            if (rc == SQLITE_DONE) return Error{"the first record of table " + table_ + " is gone"};
            return Error{"the table " + table_ + " cannot be read (" + sqlite3_errmsg(db) + ")"};
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
        if (position < 0 || position >= static_cast<int>(view_.columns.size()))
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
        if (auto ready = current(); !ready) return ready.error();
        if (!view_.rowid) return Error{"the table " + table_ + " has no record"};
        if (pending.empty()) return success();
        std::string sql = "UPDATE " + sqlName(table_) + " SET ";
        bool first = true;
        for (const auto& [position, value] : pending) {
            // A file put in place since the value was set may have fewer fields.
            if (position >= static_cast<int>(view_.columns.size()))
                return Error{"the table " + table_ + " has no field " + std::to_string(position)};
            if (!first) sql += ", ";
            sql += sqlName(view_.columns[static_cast<size_t>(position)]) + " = ?";
            first = false;
        }
        sql += " WHERE rowid = ?";
        sqlite3* db = db_->handle();
        Statement write(db, sql);
        if (!write.ok()) return Error{"the table " + table_ + " cannot be written (" + sqlite3_errmsg(db) + ")"};
        int index = 1;
        for (const auto& [position, value] : pending) {
            if (value.isText)
                sqlite3_bind_text(write.get(), index++, value.text.c_str(), static_cast<int>(value.text.size()),
                                  SQLITE_TRANSIENT);
            else
                sqlite3_bind_int(write.get(), index++, value.number);
        }
        sqlite3_bind_int64(write.get(), index, *view_.rowid);
        if (sqlite3_step(write.get()) != SQLITE_DONE)
            return Error{"the table " + table_ + " cannot be written (" + sqlite3_errmsg(db) + ")"};
        return success();
    }

private:
    // The file the path names now, and this table's fields and first record in it.
    Result<void> current()
    {
        if (auto ready = db_->current(); !ready) return ready;
        if (generation_ == db_->generation()) return success();
        auto view = viewTable(db_->handle(), source_, table_);
        if (!view) return view.error();
        view_ = std::move(view.value());
        generation_ = db_->generation();
        return success();
    }

    std::shared_ptr<Database> db_;
    std::string source_;
    std::string table_;
    TableView view_;
    unsigned generation_;
    std::map<int16_t, FieldValue> pending_;
};

class SqliteConnection : public Connection {
public:
    explicit SqliteConnection(std::string defaultFile) : defaultFile_(std::move(defaultFile)) {}

    Result<void> open(const std::string& connectionString, const std::string&, const std::string&, int) override
    {
        db_ = std::make_shared<Database>(dataSourceOf(connectionString), defaultFile_);
        return db_->open();
    }

    Result<std::unique_ptr<Recordset>> openRecordset(const std::string& source, int, int, int) override
    {
        if (!db_ || !db_->handle()) return Error{"the settings database is not open"};
        const std::string table = tableOf(source);
        auto view = viewTable(db_->handle(), source, table);
        if (!view) return view.error();
        return std::unique_ptr<Recordset>(
            std::make_unique<SqliteRecordset>(db_, source, table, std::move(view.value())));
    }

    // A transaction begins on the file the path names now.
    Result<void> beginTrans() override
    {
        if (!db_) return Error{"the settings database is not open"};
        if (auto ready = db_->current(); !ready) return ready;
        return db_->exec("BEGIN IMMEDIATE");
    }
    Result<void> commitTrans() override { return exec("COMMIT"); }
    Result<void> rollbackTrans() override { return exec("ROLLBACK"); }

private:
    Result<void> exec(const char* sql)
    {
        if (!db_) return Error{"the settings database is not open"};
        return db_->exec(sql);
    }

    std::string defaultFile_;
    std::shared_ptr<Database> db_;
};

}  // namespace

std::unique_ptr<Connection> SqliteStore::createConnection()
{
    return std::make_unique<SqliteConnection>(defaultFile_);
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

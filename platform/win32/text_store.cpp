#include "platform/win32/text_store.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/model/connection_string.h"
#include "platform/win32/win32_text.h"

namespace tolvane::win32 {

namespace {

struct SharedState {
    std::string path;
    TextTables tables;
    bool inTransaction = false;
    TextTables beforeTransaction;
};

class TextRecordset : public Recordset {
public:
    TextRecordset(std::shared_ptr<SharedState> state, std::string table)
        : state_(std::move(state)), table_(std::move(table))
    {
    }

    Result<std::string> fieldText(int16_t position) override
    {
        const auto& record = state_->tables[table_];
        if (position < 0 || static_cast<size_t>(position) >= record.size())
            return Error{"table " + table_ + " has no field " + std::to_string(position)};
        return record[static_cast<size_t>(position)];
    }

    Result<void> setField(int16_t position, const FieldValue& value) override
    {
        if (position < 0 || static_cast<size_t>(position) >= state_->tables[table_].size())
            return Error{"table " + table_ + " has no field " + std::to_string(position)};
        pending_[position] = value.isText ? value.text : std::to_string(value.number);
        return success();
    }

    Result<void> update() override
    {
        auto record = state_->tables[table_];
        for (const auto& [position, text] : pending_) record[static_cast<size_t>(position)] = text;
        pending_.clear();
        if (state_->inTransaction) {
            state_->tables[table_] = record;
            return success();
        }
        TextTables next = state_->tables;
        next[table_] = record;
        if (auto written = writeTextTables(state_->path, next); !written) return written;
        state_->tables = std::move(next);
        return success();
    }

    Result<void> cancelUpdate() override
    {
        pending_.clear();
        return success();
    }

private:
    std::shared_ptr<SharedState> state_;
    std::string table_;
    std::map<int16_t, std::string> pending_;
};

class TextConnection : public Connection {
public:
    explicit TextConnection(std::string path) : state_(std::make_shared<SharedState>())
    {
        state_->path = std::move(path);
    }

    // The connection string names Jet's file; this store's file was chosen by the test.
    Result<void> open(const std::string&, const std::string&, const std::string&, int) override
    {
        auto tables = readTextTables(state_->path);
        if (!tables) return tables.error();
        state_->tables = std::move(tables.value());
        open_ = true;
        return success();
    }

    Result<std::unique_ptr<Recordset>> openRecordset(const std::string& source, int, int, int) override
    {
        if (!open_) return Error{"the settings store is not open"};
        const std::string table = tableOf(source);
        if (!state_->tables.count(table)) return Error{"the settings store has no table " + table};
        return std::unique_ptr<Recordset>(std::make_unique<TextRecordset>(state_, table));
    }

    Result<void> beginTrans() override
    {
        if (state_->inTransaction) return Error{"a transaction is already open"};
        state_->inTransaction = true;
        state_->beforeTransaction = state_->tables;
        return success();
    }

    Result<void> commitTrans() override
    {
        if (!state_->inTransaction) return Error{"no transaction is open"};
        state_->inTransaction = false;
        if (auto written = writeTextTables(state_->path, state_->tables); !written) {
            state_->tables = state_->beforeTransaction;
            return written;
        }
        return success();
    }

    Result<void> rollbackTrans() override
    {
        if (!state_->inTransaction) return Error{"no transaction is open"};
        state_->inTransaction = false;
        state_->tables = state_->beforeTransaction;
        return success();
    }

private:
    std::shared_ptr<SharedState> state_;
    bool open_ = false;
};

}  // namespace

Result<TextTables> readTextTables(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return Error{"the settings store " + path + " cannot be read"};
    TextTables tables;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        line = utf8FromAnsi(line);
        std::vector<std::string> fields;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, '\t')) fields.push_back(field);
        if (line.back() == '\t') fields.emplace_back();
        const std::string name = fields.front();
        fields.erase(fields.begin());
        tables[name] = std::move(fields);
    }
    return tables;
}

Result<void> writeTextTables(const std::string& path, const TextTables& tables)
{
    // Written beside the file and moved over it, so that a reader never sees half a file.
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return Error{"the settings store " + path + " cannot be written"};
        for (const auto& [name, fields] : tables) {
            out << ansiFromUtf8(name);
            for (const std::string& f : fields) out << '\t' << ansiFromUtf8(f);
            out << "\r\n";
        }
        if (!out.flush()) return Error{"the settings store " + path + " cannot be written"};
    }
    if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return Error{"the settings store " + path + " cannot be replaced"};
    }
    return success();
}

std::unique_ptr<Connection> TextStore::createConnection()
{
    return std::make_unique<TextConnection>(path_);
}

}  // namespace tolvane::win32

#include "platform/win32/ado_store.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/model/connection_string.h"
#include "platform/win32/ado_calls.h"
#include "platform/win32/ado_dispatch.h"
#include "platform/win32/default_settings.h"
#include "platform/win32/win32_text.h"

#include <windows.h>
#include <oleauto.h>
#include <objbase.h>

namespace tolvane::win32 {

namespace {

class AdoRecordset : public Recordset {
public:
    AdoRecordset(Disp recordset, std::string table) : rs_(std::move(recordset)), table_(std::move(table)) {}

    Result<std::string> fieldText(int16_t position) override
    {
        const std::string where = "field " + std::to_string(position) + " of table " + table_;
        auto field = item(position);
        if (!field) return field.error();
        Var value;
        if (auto r = invoke(field.value().get(), ado::kFieldValue, nullptr, &value.v); !r)
            return Error{where + " cannot be read (" + r.error().message + ")"};
        return fieldTextOf(value.v, where);
    }

    Result<void> setField(int16_t position, const FieldValue& value) override
    {
        auto field = item(position);
        if (!field) return field.error();
        Args args;
        if (value.isText)
            args.text(value.text);
        else
            args.i2(value.number);
        if (auto r =
                invoke(field.value().get(), value.isText ? ado::kFieldSetText : ado::kFieldSetNumber, &args, nullptr);
            !r)
            return Error{"field " + std::to_string(position) + " of table " + table_ + " cannot be written (" +
                         r.error().message + ")"};
        return success();
    }

    Result<void> update() override { return invoke(rs_.get(), ado::kRecordsetUpdate, nullptr, nullptr); }

    // A recordset whose Update failed keeps the new values in its edit buffer and reads
    // them back as if stored; CancelUpdate drops them. With no edit under way
    // (EditMode adEditNone, 0) there is nothing to drop, and ADO would call it an error.
    Result<void> cancelUpdate() override
    {
        Var mode;
        if (auto r = invoke(rs_.get(), ado::kRecordsetEditMode, nullptr, &mode.v); !r) return r;
        if (SUCCEEDED(VariantChangeType(&mode.v, &mode.v, 0, VT_I4)) && mode.v.lVal == 0) return success();
        return invoke(rs_.get(), ado::kRecordsetCancelUpdate, nullptr, nullptr);
    }

private:
    Result<Disp> item(int16_t position)
    {
        Var fields;
        if (auto r = invoke(rs_.get(), ado::kRecordsetFields, nullptr, &fields.v); !r) return r.error();
        Disp fieldsObject = fields.takeDispatch();
        if (!fieldsObject) return Error{"table " + table_ + " has no fields"};
        Args args;
        args.i2(position);
        Var field;
        if (auto r = invoke(fieldsObject.get(), ado::kFieldsItem, &args, &field.v); !r)
            return Error{"table " + table_ + " has no field " + std::to_string(position) + " (" + r.error().message +
                         ")"};
        Disp fieldObject = field.takeDispatch();
        if (!fieldObject) return Error{"table " + table_ + " has no field " + std::to_string(position)};
        return fieldObject;
    }

    Disp rs_;
    std::string table_;
};

class AdoConnection : public Connection {
public:
    explicit AdoConnection(AdoStore::ProviderString providerString) : providerString_(std::move(providerString)) {}

    Result<void> open(const std::string& logicString, const std::string& userId, const std::string& password,
                      int options) override
    {
        const std::string connectionString = providerString_(logicString);
        auto connection = createObject(L"ADODB.Connection");
        if (!connection) return connection.error();
        // The settings file is the one the logic names, whatever opens it.
        const std::string file = dataSourceOf(logicString);
        if (!file.empty() && GetFileAttributesW(widen(file).c_str()) == INVALID_FILE_ATTRIBUTES &&
            GetLastError() == ERROR_FILE_NOT_FOUND) {
            if (auto created = createDefault(connectionString, file); !created) return created;
        }
        Args args;
        args.text(connectionString).text(userId).text(password).i4(options);
        if (auto r = invoke(connection.value().get(), ado::kConnectionOpen, &args, nullptr); !r) return r;
        conn_ = std::move(connection.value());
        return success();
    }

    Result<std::unique_ptr<Recordset>> openRecordset(const std::string& source, int cursorType, int lockType,
                                                     int options) override
    {
        if (!conn_) return Error{"the settings database is not open"};
        auto recordset = createObject(L"ADODB.Recordset");
        if (!recordset) return recordset.error();
        Args args;
        args.text(source).object(conn_.get()).i4(cursorType).i4(lockType).i4(options);
        if (auto r = invoke(recordset.value().get(), ado::kRecordsetOpen, &args, nullptr); !r) return r.error();
        return std::unique_ptr<Recordset>(
            std::make_unique<AdoRecordset>(std::move(recordset.value()), tableOf(source)));
    }

    Result<void> beginTrans() override { return call(ado::kConnectionBeginTrans); }
    Result<void> commitTrans() override { return call(ado::kConnectionCommitTrans); }
    Result<void> rollbackTrans() override { return call(ado::kConnectionRollbackTrans); }

private:
    Result<void> call(const ado::Call& method)
    {
        if (!conn_) return Error{"the settings database is not open"};
        Var ignored;
        return invoke(conn_.get(), method, nullptr, &ignored.v);
    }

    // The delivered default, made through Jet's own catalog so that the file is a Jet
    // database like every other installation's. It is made whole under a name of this
    // process's own beside the settings file and only then moved to its place, never
    // over a file: a process that made the file meanwhile (tolv.exe and the dry run share
    // it; so may a copy the user puts there) keeps its own, nobody opens a half-made one,
    // and a failure removes only what this start made.
    static Result<void> createDefault(const std::string& connectionString, const std::string& file)
    {
        auto catalog = createObject(L"ADOX.Catalog");
        if (!catalog) return Error{"the settings file is missing and cannot be created: " + catalog.error().message};
        const std::string draft = file + "." + std::to_string(GetCurrentProcessId()) + ".new";
        DeleteFileW(widen(draft).c_str());  // left by an earlier process of this number
        Var created;
        Args createArgs;
        // No session pooling: a pooled session would hold the new file open after Close,
        // and an open file cannot be moved into place.
        std::string draftString = withDataSource(connectionString, draft);
        if (!draftString.empty() && draftString.back() != ';') draftString += ';';
        createArgs.text(draftString + "OLE DB Services=-4");
        Result<void> result = invoke(catalog.value().get(), ado::kCatalogCreate, &createArgs, &created.v);
        Var active;
        if (result) result = invoke(catalog.value().get(), ado::kCatalogActiveConnection, nullptr, &active.v);
        Disp connection = active.takeDispatch();
        if (result && !connection) result = Error{"the new settings file has no connection"};
        for (const std::string& statement : sqlStatements(kDefaultSettingsSql)) {
            if (!result) break;
            Args args;
            args.text(statement);
            Var ignored;
            result = invoke(connection.get(), ado::kConnectionExecute, &args, &ignored.v);
        }
        if (connection) {
            Var ignored;
            invoke(connection.get(), ado::kConnectionClose, nullptr, &ignored.v);
        }
        connection.reset();
        catalog.value().reset();
        if (result) result = placeNewFile(draft, file);
        if (!result) {
            DeleteFileW(widen(draft).c_str());
            return Error{"the settings file is missing and cannot be created: " + result.error().message};
        }
        return success();
    }

    AdoStore::ProviderString providerString_;
    Disp conn_;
};

}  // namespace

Result<std::string> fieldTextOf(const VARIANT& value, const std::string& where)
{
    if (value.vt == VT_NULL || value.vt == VT_EMPTY) return Error{where + " is empty (Null)"};
    Var text;
    // VariantChangeType does not change its source; mingw-w64 declares it without const.
    if (FAILED(VariantChangeType(&text.v, const_cast<VARIANT*>(&value), 0, VT_BSTR)))
        return Error{where + " cannot be read as text"};
    return toUtf8(text.v.bstrVal);
}

Result<void> placeNewFile(const std::string& draft, const std::string& file)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails on a file that is there, so a file
    // someone else made is never replaced, not even between a check and the move.
    if (MoveFileExW(widen(draft).c_str(), widen(file).c_str(), MOVEFILE_WRITE_THROUGH)) return success();
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        DeleteFileW(widen(draft).c_str());
        return success();
    }
    return Error{"the new file cannot be put in its place (system error " + std::to_string(error) + ")"};
}

std::vector<std::string> sqlStatements(const std::string& script)
{
    std::string withoutComments;
    size_t pos = 0;
    while (pos < script.size()) {
        size_t end = script.find('\n', pos);
        if (end == std::string::npos) end = script.size();
        std::string line = script.substr(pos, end - pos);
        const size_t first = line.find_first_not_of(" \t\r");
        if (first != std::string::npos && line.compare(first, 2, "--") != 0) withoutComments += line + " ";
        pos = end + 1;
    }
    std::vector<std::string> statements;
    size_t start = 0;
    while (start < withoutComments.size()) {
        size_t end = withoutComments.find(';', start);
        if (end == std::string::npos) end = withoutComments.size();
        std::string statement = withoutComments.substr(start, end - start);
        const size_t a = statement.find_first_not_of(" \t\r");
        if (a != std::string::npos) {
            const size_t b = statement.find_last_not_of(" \t\r");
            statements.push_back(statement.substr(a, b - a + 1));
        }
        start = end + 1;
    }
    return statements;
}

std::unique_ptr<Connection> AdoStore::createConnection()
{
    return std::make_unique<AdoConnection>(providerString());
}

AdoStore::ProviderString AdoStore::providerString() const
{
    return [](const std::string& logicString) { return logicString; };
}

}  // namespace tolvane::win32

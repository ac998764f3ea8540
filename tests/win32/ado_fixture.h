// The settings store's tests against a real ADO: an ODBC data source per test, ODBC straight to
// the SQLite file past ADO, and the store over that source in place of Jet.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/program.h"
#include "hotkeys/hk.h"
#include "platform/platform.h"
#include "platform/win32/ado_calls.h"
#include "platform/win32/ado_store.h"
#include "platform/win32/default_settings.h"
#include "tests/win32/paths.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <sql.h>
#include <sqlext.h>
// The platform interfaces use the Windows names; the A/W macros would rename them.
#undef MessageBox
#undef Shell_NotifyIcon

namespace tolvane::adotest {

using namespace tolvane;
namespace ado = tolvane::win32::ado;
using tolvane::test::windowsPath;

// The Jet connection string the logic builds, for the file in `folder`.
inline std::string jetString(const std::string& folder)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder + "\\tolvdata.v;Persist Security Info=False";
}

inline std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

inline std::wstring wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Wine's msado15 asks for its type library as version 1.0 while it registers itself as
// 2.8, so that every GetIDsOfNames fails with TYPE_E_LIBNOTREGISTERED (0x8002801D). The
// cure is the very library it carries as resource TYPELIB 1, registered once more with
// its version set to 1.0 (the MSFT header's version word at offset 0x18).
inline HRESULT registerAdoTypeLibraryAsWineWantsIt()
{
    const wchar_t* dll = L"C:\\Program Files\\Common Files\\System\\ADO\\msado15.dll";
    HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), L"TYPELIB");
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const DWORD size = resource ? SizeofResource(module, resource) : 0;
    if (!loaded || size < 0x1c) return E_FAIL;
    const auto* bytes = static_cast<const unsigned char*>(LockResource(loaded));
    std::vector<unsigned char> library(bytes, bytes + size);
    FreeLibrary(module);
    if (library[0] != 'M' || library[1] != 'S' || library[2] != 'F' || library[3] != 'T') return E_FAIL;
    library[0x18] = 1;
    library[0x19] = library[0x1a] = library[0x1b] = 0;
    wchar_t path[MAX_PATH];
    GetTempPathW(MAX_PATH, path);
    wcscat(path, L"adodb-1.0.tlb");
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
    DWORD written = 0;
    WriteFile(file, library.data(), size, &written, nullptr);
    CloseHandle(file);
    ITypeLib* typeLibrary = nullptr;
    const HRESULT hr = LoadTypeLibEx(path, REGKIND_REGISTER, &typeLibrary);
    if (typeLibrary) typeLibrary->Release();
    return hr;
}

inline IDispatch* create(const wchar_t* progId)
{
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) return nullptr;
    IDispatch* object = nullptr;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object));
    return object;
}

inline HRESULT nameLookup(IDispatch* object, const wchar_t* name)
{
    DISPID id = 0;
    LPOLESTR member = const_cast<LPOLESTR>(name);
    return object->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id);
}

// One settings file per test, each behind an ODBC data source of its own, all written
// into the test's private odbc.ini (ODBCINI, set by run-in-prefix.sh) before ODBC loads.
constexpr int kSources = 12;

class AdoEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        CoInitialize(nullptr);
        work = env("TOLVANE_TEST_WORK");
        const std::string odbcIni = env("ODBCINI");
        ASSERT_FALSE(work.empty() || odbcIni.empty()) << "run through tests/win32/run-in-prefix.sh";
        std::ofstream ini(windowsPath(odbcIni), std::ios::binary | std::ios::trunc);
        for (int i = 0; i < kSources; ++i) {
            CreateDirectoryA(windowsPath(work + "/s" + std::to_string(i)).c_str(), nullptr);
            ini << "[tolv" << i << "]\nDriver=SQLite3 ODBC Driver\nDatabase=" << work << "/s" << i << "/tolvdata.v\n\n";
        }
        ini.close();
        ASSERT_TRUE(ini) << "cannot write " << odbcIni;

        IDispatch* connection = create(L"ADODB.Connection");
        ASSERT_NE(connection, nullptr) << "ADODB.Connection is not installed";
        if (nameLookup(connection, L"Open") == TYPE_E_LIBNOTREGISTERED) {
            ASSERT_EQ(registerAdoTypeLibraryAsWineWantsIt(), S_OK);
        }
        EXPECT_EQ(nameLookup(connection, L"Open"), S_OK);
        connection->Release();
    }
    void TearDown() override { CoUninitialize(); }
    static inline std::string work;
};

// ODBC straight to the SQLite file, past ADO: making the file and reading what it holds.
class Odbc {
public:
    explicit Odbc(const std::string& source)
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        std::wstring name = wide(source);
        connected_ =
            SQL_SUCCEEDED(SQLConnectW(dbc_, reinterpret_cast<SQLWCHAR*>(name.data()), SQL_NTS, nullptr, 0, nullptr, 0));
    }
    ~Odbc()
    {
        if (connected_) SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    Odbc(const Odbc&) = delete;
    Odbc& operator=(const Odbc&) = delete;
    bool connected() const { return connected_; }

    bool exec(const std::string& sql)
    {
        SQLHSTMT statement = nullptr;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &statement);
        std::wstring text = wide(sql);
        const bool ok = SQL_SUCCEEDED(SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS));
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        return ok;
    }

    // Each row as its fields joined by '|', "NULL" for a Null.
    std::vector<std::string> rows(const std::string& sql)
    {
        std::vector<std::string> result;
        SQLHSTMT statement = nullptr;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &statement);
        std::wstring text = wide(sql);
        if (SQL_SUCCEEDED(SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS))) {
            SQLSMALLINT columns = 0;
            SQLNumResultCols(statement, &columns);
            while (SQL_SUCCEEDED(SQLFetch(statement))) {
                std::string row;
                for (SQLUSMALLINT c = 1; c <= columns; ++c) {
                    char value[256] = {};
                    SQLLEN length = 0;
                    SQLGetData(statement, c, SQL_C_CHAR, value, sizeof value, &length);
                    row += (c > 1 ? "|" : "") + (length == SQL_NULL_DATA ? std::string("NULL") : std::string(value));
                }
                result.push_back(row);
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        return result;
    }

private:
    SQLHENV env_ = nullptr;
    SQLHDBC dbc_ = nullptr;
    bool connected_ = false;
};

// The store over the ODBC source in place of Jet, which Wine lacks: every connection opens
// `source`, while the settings file looked after is still the one the logic names.
class OdbcAdoStore : public win32::AdoStore {
public:
    explicit OdbcAdoStore(std::string source) : source_(std::move(source)) {}

protected:
    ProviderString providerString() const override
    {
        return [source = source_](const std::string&) { return source; };
    }

private:
    std::string source_;
};

class AdoTest : public ::testing::Test {
protected:
    AdoTest() : index_(next_++)
    {
        source = "tolv" + std::to_string(index_);
        folder = windowsPath(AdoEnvironment::work + "/s" + std::to_string(index_));
        odbc = std::make_unique<Odbc>(source);
    }
    // The delivered tables, made the way the program's default is made, statement by statement.
    void makeDeliveredFile()
    {
        ASSERT_TRUE(odbc->connected()) << "ODBC data source " << source << " (is libsqliteodbc:i386 installed?)";
        for (const std::string& statement : win32::sqlStatements(win32::kDefaultSettingsSql))
            ASSERT_TRUE(odbc->exec(statement)) << statement;
    }
    std::string adoString() const { return "Provider=MSDASQL;Data Source=" + source; }

    std::string source, folder;
    std::unique_ptr<Odbc> odbc;

private:
    int index_;
    static inline int next_ = 0;
};

}  // namespace tolvane::adotest

// The settings store against a real ADO: Wine's own msado15, over its MSDASQL provider and
// odbc32, which hands over to unixODBC and the SQLite ODBC driver. Each test makes its
// settings file with the delivered tables (resources/tolvdata.sql) through ODBC and
// checks the file through ODBC, past ADO.
//
// Wine's ADO opens connections and recordsets, knows the fields, and reaches the provider,
// but its recordsets hold no records and it implements neither Update nor the
// transactions (docs/windows.md). So what is run here is all that it can carry: every
// call record of the store through ADO's type library with the store's own arguments, the
// store's opening and its orderly failures, and the program on top of it; plus the
// conversions at this edge (values to text, UTF-8 to and from UTF-16) on real VARIANTs.
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

using namespace tolvane;
namespace ado = tolvane::win32::ado;
using tolvane::test::windowsPath;

namespace {

// The Jet connection string the logic builds, for the file in `folder`.
std::string jetString(const std::string& folder)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + folder + "\\tolvdata.v;Persist Security Info=False";
}

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::wstring wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Wine's msado15 asks for its type library as version 1.0 while it registers itself as
// 2.8, so that every GetIDsOfNames fails with TYPE_E_LIBNOTREGISTERED (0x8002801D). The
// cure is the very library it carries as resource TYPELIB 1, registered once more with
// its version set to 1.0 (the MSFT header's version word at offset 0x18).
HRESULT registerAdoTypeLibraryAsWineWantsIt()
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

IDispatch* create(const wchar_t* progId)
{
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(progId, &clsid))) return nullptr;
    IDispatch* object = nullptr;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&object));
    return object;
}

HRESULT nameLookup(IDispatch* object, const wchar_t* name)
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

// --- The call records through ADO's type library. ---------------------------------------

// A sample argument of the record's type, as the store would pass it.
void sampleArgument(VARIANT& v, VARTYPE type, IDispatch* connection)
{
    VariantInit(&v);
    v.vt = type;
    if (type == VT_BSTR) v.bstrVal = SysAllocString(L"select * from ky");
    if (type == VT_I4) v.lVal = -1;
    if (type == VT_I2) v.iVal = 0;
    if (type == VT_DISPATCH) {
        v.pdispVal = connection;
        connection->AddRef();
    }
}

// Invokes `call` with arguments of its record's types (or `extra` more) and returns the
// HRESULT ADO gives, exceptions unwrapped.
HRESULT invokeRecord(IDispatch* object, const ado::Call& call, IDispatch* connection, int extra = 0,
                     const wchar_t* name = nullptr)
{
    DISPID id = 0;
    LPOLESTR member = const_cast<LPOLESTR>(name ? name : call.name);
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> args(call.argCount + static_cast<size_t>(extra));
    for (size_t i = 0; i < args.size(); ++i)
        sampleArgument(args[args.size() - 1 - i], i < call.argCount ? call.args[i] : VARTYPE{VT_I4}, connection);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    if (call.kind == ado::Kind::Put) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT bad = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, ado::dispatchFlags(call), &params,
                        call.kind == ado::Kind::Put ? nullptr : &result, &exception, &bad);
    if (hr == DISP_E_EXCEPTION && exception.scode) hr = exception.scode;
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    VariantClear(&result);
    for (VARIANT& v : args) VariantClear(&v);
    return hr;
}

// The type library's dispatch refuses a call it cannot match with one of these.
bool dispatchRefused(HRESULT hr)
{
    return hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_BADPARAMCOUNT ||
           hr == DISP_E_PARAMNOTOPTIONAL || hr == DISP_E_TYPEMISMATCH || hr == DISP_E_BADVARTYPE ||
           hr == DISP_E_PARAMNOTFOUND || hr == DISP_E_NONAMEDARGS || hr == TYPE_E_LIBNOTREGISTERED;
}

std::string hex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

TEST_F(AdoTest, EveryCallOfTheStoreReachesAdoWithTheStoresArguments)
{
    makeDeliveredFile();
    IDispatch* connection = create(L"ADODB.Connection");
    IDispatch* recordset = create(L"ADODB.Recordset");
    ASSERT_TRUE(connection && recordset);
    ado::Call open = ado::kConnectionOpen;
    // Connection.Open with the test's data source, by the record's argument types.
    {
        DISPID id = 0;
        LPOLESTR member = const_cast<LPOLESTR>(open.name);
        ASSERT_EQ(connection->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        VARIANT args[4];
        for (VARIANT& v : args) VariantInit(&v);
        args[3].vt = VT_BSTR;
        args[3].bstrVal = SysAllocString(wide(adoString()).c_str());
        args[2].vt = args[1].vt = VT_BSTR;
        args[2].bstrVal = SysAllocString(L"");
        args[1].bstrVal = SysAllocString(L"");
        args[0].vt = VT_I4;
        args[0].lVal = -1;
        DISPPARAMS params{args, nullptr, 4, 0};
        EXPECT_EQ(
            connection->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            S_OK);
        for (VARIANT& v : args) VariantClear(&v);
    }
    EXPECT_EQ(invokeRecord(recordset, ado::kRecordsetOpen, connection), S_OK);

    VARIANT fields;
    VariantInit(&fields);
    {
        LPOLESTR member = const_cast<LPOLESTR>(ado::kRecordsetFields.name);
        DISPID id = 0;
        ASSERT_EQ(recordset->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        ASSERT_EQ(recordset->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, ado::dispatchFlags(ado::kRecordsetFields), &none,
                                    &fields, nullptr, nullptr),
                  S_OK);
        ASSERT_EQ(fields.vt, VT_DISPATCH);
    }
    VARIANT field;
    VariantInit(&field);
    {
        LPOLESTR member = const_cast<LPOLESTR>(ado::kFieldsItem.name);
        DISPID id = 0;
        ASSERT_EQ(fields.pdispVal->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        VARIANT position;
        VariantInit(&position);
        position.vt = VT_I2;
        position.iVal = 4;
        DISPPARAMS params{&position, nullptr, 1, 0};
        ASSERT_EQ(fields.pdispVal->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, ado::dispatchFlags(ado::kFieldsItem),
                                          &params, &field, nullptr, nullptr),
                  S_OK);
        ASSERT_EQ(field.vt, VT_DISPATCH);
    }

    struct Target {
        const ado::Call& call;
        IDispatch* object;
    };
    const Target targets[] = {
        {ado::kConnectionBeginTrans, connection},    {ado::kConnectionCommitTrans, connection},
        {ado::kConnectionRollbackTrans, connection}, {ado::kRecordsetFields, recordset},
        {ado::kRecordsetUpdate, recordset},          {ado::kRecordsetCancelUpdate, recordset},
        {ado::kRecordsetEditMode, recordset},        {ado::kFieldsItem, fields.pdispVal},
        {ado::kFieldValue, field.pdispVal},          {ado::kFieldSetText, field.pdispVal},
        {ado::kFieldSetNumber, field.pdispVal},
    };
    for (const Target& t : targets) {
        const HRESULT hr = invokeRecord(t.object, t.call, connection);
        EXPECT_FALSE(dispatchRefused(hr))
            << "the type library refuses the store's " << std::string(t.call.name, t.call.name + wcslen(t.call.name))
            << ": " << hex(hr);
    }
    // The check can fail: a misspelt name, a required argument left out, a wrong type.
    // (Wine's type library dispatch lets arguments beyond the declared ones pass, where
    // Windows answers DISP_E_BADPARAMCOUNT; the build-time check covers that.)
    EXPECT_EQ(invokeRecord(recordset, ado::kRecordsetCancelUpdate, connection, 0, L"CancelUpdates"),
              DISP_E_UNKNOWNNAME);
    const ado::Call itemWithoutPosition{L"Item", ado::Kind::Get};
    EXPECT_TRUE(dispatchRefused(invokeRecord(fields.pdispVal, itemWithoutPosition, connection)));
    const ado::Call wrongType{L"Open", ado::Kind::Method, {VT_BSTR, VT_DISPATCH, VT_DISPATCH, VT_I4, VT_I4}, 5};
    EXPECT_TRUE(dispatchRefused(invokeRecord(recordset, wrongType, connection)));

    // Execute and Close on the connection last: they end its use.
    EXPECT_FALSE(dispatchRefused(invokeRecord(connection, ado::kConnectionExecute, connection)));
    EXPECT_EQ(invokeRecord(connection, ado::kConnectionClose, connection), S_OK);
    VariantClear(&field);
    VariantClear(&fields);
    recordset->Release();
    connection->Release();
}

// --- The store itself. ------------------------------------------------------------------

TEST_F(AdoTest, TheStoreOpensTheFileAndBothTablesWithTheLogicsArguments)
{
    makeDeliveredFile();
    OdbcAdoStore store(adoString());
    auto connection = store.createConnection();
    ASSERT_TRUE(connection->open(jetString(folder), "", "", -1)) << "Connection.Open";
    auto ky = connection->openRecordset("select * from ky", 2, 3, -1);
    ASSERT_TRUE(ky) << ky.error().message;
    auto en = connection->openRecordset("select * from en", 2, 3, -1);
    ASSERT_TRUE(en) << en.error().message;
    // Positions 0 to 4 are fields; 5 is none (the delivered tables have five).
    for (int16_t position = 0; position < 5; ++position) {
        auto value = ky.value()->fieldText(position);
        if (!value) {
            EXPECT_EQ(value.error().message.find("has no field"), std::string::npos) << value.error().message;
        }
    }
    auto beyond = en.value()->fieldText(5);
    ASSERT_FALSE(beyond);
    EXPECT_EQ(beyond.error().message, "table en has no field 5 (Item failed: there is no such item, error 0x800A0CC1)");
    EXPECT_FALSE(connection->openRecordset("select * from zz", 2, 3, -1));
}

TEST_F(AdoTest, WhatWinesAdoCannotDoComesBackAsAClearFailureAndTheFileStaysAsItWas)
{
    makeDeliveredFile();
    OdbcAdoStore store(adoString());
    auto connection = store.createConnection();
    ASSERT_TRUE(connection->open(jetString(folder), "", "", -1));
    auto en = std::move(connection->openRecordset("select * from en", 2, 3, -1).value());
    auto read = en->fieldText(0);
    ASSERT_FALSE(read) << "Wine's ADO reads records now: " << read.value() << "; run the full save tests here";
    EXPECT_EQ(read.error().message,
              "field 0 of table en cannot be read (Value failed: there is no current record, error 0x800A0BCD)");
    auto write = en->setField(0, FieldValue{false, "", 1});
    ASSERT_FALSE(write);
    EXPECT_EQ(write.error().message,
              "field 0 of table en cannot be written (Value failed: there is no current record, error 0x800A0BCD)");
    EXPECT_EQ(connection->beginTrans().error().message,
              "BeginTrans failed: this ADO does not implement it, error 0x80004001");
    EXPECT_EQ(en->update().error().message, "Update failed: this ADO does not implement it, error 0x80004001");
    EXPECT_FALSE(en->cancelUpdate());
    EXPECT_FALSE(connection->rollbackTrans());
    EXPECT_EQ(odbc->rows("select * from en"), std::vector<std::string>{"0|0|0|0|0"});
    EXPECT_EQ(odbc->rows("select * from ky"), std::vector<std::string>{"S|R|L|H|B"});
}

TEST_F(AdoTest, AFolderWithANonAsciiNameIsLookedAtAsTheProgramNamesIt)
{
    // The logic's texts are UTF-8: A with diaeresis is C3 84. Read in another code page the
    // folder would not exist, the store would not look for the file and would open the
    // data source as if the file were there.
    makeDeliveredFile();
    const std::string utf8Folder = folder + "\\\xC3\x84";
    const std::wstring wideFolder = wide(folder) + L"\\\u00C4";
    ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
    auto absent = OdbcAdoStore(adoString()).createConnection()->open(jetString(utf8Folder), "", "", -1);
    ASSERT_FALSE(absent);
    EXPECT_EQ(absent.error().message.rfind("the settings file is missing and cannot be created", 0), 0u)
        << absent.error().message;

    HANDLE file =
        CreateFileW((wideFolder + L"\\tolvdata.v").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    auto present = OdbcAdoStore(adoString()).createConnection()->open(jetString(utf8Folder), "", "", -1);
    EXPECT_TRUE(present) << present.error().message;
}

TEST_F(AdoTest, AnAbsentFileIsMadeOnlyThroughTheCatalogAndNothingIsLeftBehind)
{
    // The logic names a folder without the file (the ODBC source's own file exists).
    const std::string empty = folder + "\\empty";
    ASSERT_TRUE(CreateDirectoryA(empty.c_str(), nullptr));
    auto connection = OdbcAdoStore(adoString()).createConnection();
    auto opened = connection->open(jetString(empty), "", "", -1);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().message,
              "the settings file is missing and cannot be created: ADOX.Catalog is not installed (error 0x800401F3)");
    EXPECT_EQ(GetFileAttributesA((empty + "\\tolvdata.v").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(connection->openRecordset("select * from ky", 2, 3, -1));
}

// --- The program on top of it. ----------------------------------------------------------

class Fakes : private EventLoopApi,
              private DisplayApi,
              private DialogApi,
              private ClockApi,
              private PrivilegeApi,
              private PowerApi,
              private KeyboardApi,
              private ShellApi,
              private LauncherApi,
              private WebApi,
              private EnvironmentApi {
public:
    Fakes(std::string windowsDirectory, StoreApi& store)
        : platform{windows, *this, *this, *this, *this, *this, *this, *this, *this, *this, *this, *this, store},
          windowsDirectory_(std::move(windowsDirectory))
    {
    }
    WindowSystem windows;
    Platform platform;
    std::vector<std::string> messages;
    std::vector<std::string> powerCalls;

private:
    void processPendingEvents() override {}
    void InitCommonControls() override {}
    bool SetWindowPos(Window&, int, int, int, int, int, uint32_t) override { return true; }
    int twipsPerPixelX() override { return 15; }
    uint32_t pictureHandle(const std::string&) override { return 1; }
    void MessageBox(const std::string& title, const std::string& text) override
    {
        messages.push_back(title + ": " + text);
    }
    int64_t sinceBoot() override { return 0; }
    int64_t localTime() override { return 12 * 3600 * 1000; }
    uintptr_t GetCurrentProcess() override { return 1; }
    bool OpenProcessToken(uintptr_t, uint32_t, uintptr_t& token) override
    {
        token = 2;
        return true;
    }
    bool LookupPrivilegeValueA(const char*, const char*, Luid&) override { return true; }
    bool AdjustTokenPrivileges(uintptr_t, bool, const tolvane::TokenPrivileges<1>&, uint32_t,
                               tolvane::TokenPrivileges<2>&, uint32_t&) override
    {
        return true;
    }
    bool ExitWindowsEx(uint32_t flags, uint32_t) override
    {
        powerCalls.push_back("ExitWindowsEx " + std::to_string(flags));
        return true;
    }
    bool SetSystemPowerState(bool suspend, bool) override
    {
        powerCalls.push_back(std::string("SetSystemPowerState ") + (suspend ? "1" : "0"));
        return true;
    }
    int16_t GetAsyncKeyState(int) override { return 0; }
    bool Shell_NotifyIcon(uint32_t, const NotifyIconRecord&) override { return true; }
    uint32_t createMessageWindow(MessageHandler) override { return 7; }
    void destroyMessageWindow(uint32_t) override {}
    double Shell(const std::string&, int) override { return 1; }
    void Navigate(WebView&, const std::string&) override {}
    std::string windowsDirectory() override { return windowsDirectory_; }
    char pathSeparator() override { return '\\'; }

    std::string windowsDirectory_;
};

TEST_F(AdoTest, TheProgramOverWinesAdoTellsOnceRunsWithoutHotkeysAndNeverWrites)
{
    makeDeliveredFile();
    OdbcAdoStore store(adoString());
    Fakes fakes(folder, store);
    Program program(fakes.platform);
    program.start();
    ASSERT_EQ(fakes.messages.size(), 1u);
    EXPECT_EQ(fakes.messages[0], "Tolvane 3.0: The hotkey settings in " + folder +
                                     "\\tolvdata.v cannot be used: field 0 of table en cannot be read (Value failed: "
                                     "there is no current record, error 0x800A0BCD). Tolvane runs without hotkeys and "
                                     "leaves the file as it is.");
    EXPECT_EQ(program.form1().hotkeySettings.hkeyflag, (std::array<std::string, 5>{}));
    EXPECT_EQ(program.form1().hotkeySettings.hkeychar, (std::array<std::string, 5>{}));

    // SET with valid keys is refused, and nothing reaches the file.
    const char* keys[] = {"A", "B", "C", "D", "E"};
    for (size_t row = 0; row < 5; ++row) {
        program.hk().keys()[row]->setText(keys[row]);
        program.hk().checks()[row]->setValue(1);
    }
    program.form1().hotkeySettings.savehkey();
    ASSERT_EQ(fakes.messages.size(), 2u);
    EXPECT_EQ(fakes.messages[1].rfind("Tolvane 3.0: The hotkey settings were not saved, because", 0), 0u)
        << fakes.messages[1];
    EXPECT_EQ(odbc->rows("select * from en"), std::vector<std::string>{"0|0|0|0|0"});
    EXPECT_EQ(odbc->rows("select * from ky"), std::vector<std::string>{"S|R|L|H|B"});
    EXPECT_TRUE(fakes.powerCalls.empty());
}

// --- The conversions at this edge, on real VARIANTs. --------------------------------------

std::string textOf(VARIANT& v)
{
    auto text = win32::fieldTextOf(v, "field 2 of table ky");
    VariantClear(&v);
    return text ? "text:" + text.value() : "error:" + text.error().message;
}

VARIANT bstrVariant(const std::wstring& text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return v;
}

TEST(AdoValues, ANullOrEmptyValueIsRefusedWithAClearMessage)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_NULL;
    EXPECT_EQ(textOf(v), "error:field 2 of table ky is empty (Null)");
    VariantInit(&v);
    EXPECT_EQ(textOf(v), "error:field 2 of table ky is empty (Null)");
    VariantInit(&v);
    v.vt = VT_UNKNOWN;
    v.punkVal = nullptr;
    EXPECT_EQ(textOf(v), "error:field 2 of table ky cannot be read as text");
}

TEST(AdoValues, NumbersReadAsTheirText)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I2;
    v.iVal = 1;
    EXPECT_EQ(textOf(v), "text:1");
    v.vt = VT_I4;
    v.lVal = 0;
    EXPECT_EQ(textOf(v), "text:0");
    v.vt = VT_UI1;
    v.bVal = 7;
    EXPECT_EQ(textOf(v), "text:7");
}

TEST(AdoValues, TextsCrossAsUtf8InsideAndUtf16InAdo)
{
    VARIANT v = bstrVariant(L"S");
    EXPECT_EQ(textOf(v), "text:S");
    v = bstrVariant(L"\u00C4");  // A with diaeresis: two bytes in UTF-8, whatever the code page
    EXPECT_EQ(textOf(v), "text:\xC3\x84");
    v = bstrVariant(L"\u20AC");  // the euro sign: three bytes
    EXPECT_EQ(textOf(v), "text:\xE2\x82\xAC");
    v = bstrVariant(L"\U0001F600");  // beyond the BMP: a surrogate pair, four bytes
    EXPECT_EQ(textOf(v), "text:\xF0\x9F\x98\x80");
    v = bstrVariant(L"");
    EXPECT_EQ(textOf(v), "text:");
    v = bstrVariant(std::wstring(L"a\0b", 3));  // a BSTR's length counts, not a terminator
    EXPECT_EQ(textOf(v), std::string("text:a\0b", 8));
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new AdoEnvironment);
    return RUN_ALL_TESTS();
}

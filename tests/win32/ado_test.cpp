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
#include "tests/win32/ado_fixture.h"

using namespace tolvane;
using namespace tolvane::adotest;

namespace {

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

}  // namespace

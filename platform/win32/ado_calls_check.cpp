// Holds every late-bound call of the settings store (ado_calls.h) against the vtable
// interface that mingw-w64's adoint.h declares for the same ADO member: the member exists
// under that name; it is a method, a property getter or a property setter as the store
// invokes it; the store passes no more arguments than it has parameters; each argument's
// VARIANT type fits the declared parameter; every parameter left out is a VARIANT (ADO's
// [optional] ones) or one the record counts as defaulted; and a call that takes a result
// finds a trailing [out] pointer for it. The store cannot be run against Jet where it is
// built and tested (Wine has no Jet and its ADO reads no records), so this is where a
// misspelt member or a wrong argument list is caught: nothing here runs, a mismatch stops
// the Windows build. The ADOX catalog is checked in ado_catalog_check.cpp, because
// adoctint.h and adoint.h cannot be included together.
#include "platform/win32/ado_calls_check.h"

#include <adoint.h>

namespace tolvane::win32::ado {
namespace {

TOLVANE_ADO_CHECK(_ADOConnection, , Open, kConnectionOpen);
TOLVANE_ADO_CHECK(_ADOConnection, , BeginTrans, kConnectionBeginTrans);
TOLVANE_ADO_CHECK(_ADOConnection, , CommitTrans, kConnectionCommitTrans);
TOLVANE_ADO_CHECK(_ADOConnection, , RollbackTrans, kConnectionRollbackTrans);
TOLVANE_ADO_CHECK_DEFAULTED(_ADOConnection, , Execute, kConnectionExecute, 1);
TOLVANE_ADO_CHECK(_ADOConnection, , Close, kConnectionClose);

TOLVANE_ADO_CHECK(_ADORecordset, , Open, kRecordsetOpen);
TOLVANE_ADO_CHECK(_ADORecordset, get_, Fields, kRecordsetFields);
TOLVANE_ADO_CHECK(_ADORecordset, , Update, kRecordsetUpdate);
TOLVANE_ADO_CHECK(_ADORecordset, , CancelUpdate, kRecordsetCancelUpdate);
TOLVANE_ADO_CHECK(_ADORecordset, get_, EditMode, kRecordsetEditMode);

TOLVANE_ADO_CHECK(ADOFields, get_, Item, kFieldsItem);
TOLVANE_ADO_CHECK(ADOField, get_, Value, kFieldValue);
TOLVANE_ADO_CHECK(ADOField, put_, Value, kFieldSetText);
TOLVANE_ADO_CHECK(ADOField, put_, Value, kFieldSetNumber);

// The checks themselves can fail: each of these is a record that must not pass.
constexpr Call kWrongType{L"Open", Kind::Method, {VT_BSTR, VT_BSTR, VT_BSTR, VT_I2}, 4};
static_assert(!fitsMember(&_ADOConnection::Open, kWrongType, 0));
constexpr Call kTooMany{L"Update", Kind::Method, {VT_I4, VT_I4, VT_I4}, 3};
static_assert(!fitsMember(&_ADORecordset::Update, kTooMany, 0));
constexpr Call kRequiredLeftOut{L"Open", Kind::Method, {VT_BSTR}, 1};
static_assert(!fitsMember(&_ADOConnection::Open, kRequiredLeftOut, 0));
constexpr Call kNoResult{L"EditMode", Kind::Get};
static_assert(!fitsMember(&_ADORecordset::get_EditMode, kNoResult, 0));
static_assert(!sameName(L"CancelUpdate", L"CancelUpdates"));
static_assert(kindOfPrefix("put_") == Kind::Put && kindOfPrefix("") == Kind::Method);

}  // namespace
}  // namespace tolvane::win32::ado

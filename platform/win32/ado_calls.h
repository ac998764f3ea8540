#pragma once
// The late-bound ADO calls of the settings store, one record each: the member's name, how
// it is invoked, and the VARIANT types of the arguments the store passes, in declared
// order. ado_store.cpp makes every call from one of these records and refuses arguments
// of other types; ado_calls_check.cpp holds each record against the interface that
// mingw-w64's adoint.h and adoctint.h declare for it, when the Windows program is built.
// Include it after the project's own headers: it brings in <windows.h>.
#include <array>
#include <cstddef>

#include <windows.h>
#include <oleauto.h>

namespace tolvane::win32::ado {

enum class Kind { Method, Get, Put };

struct Call {
    const wchar_t* name;
    Kind kind;
    std::array<VARTYPE, 5> args{};
    std::size_t argCount = 0;
    // Whether the store takes the member's [out, retval] result.
    bool takesResult = false;
};

// Connection (_Connection, Connection15 in adoint.h).
inline constexpr Call kConnectionOpen{L"Open", Kind::Method, {VT_BSTR, VT_BSTR, VT_BSTR, VT_I4}, 4};
inline constexpr Call kConnectionBeginTrans{L"BeginTrans", Kind::Method, {}, 0, true};
inline constexpr Call kConnectionCommitTrans{L"CommitTrans", Kind::Method};
inline constexpr Call kConnectionRollbackTrans{L"RollbackTrans", Kind::Method};
// Options (default adCmdUnspecified) and RecordsAffected ([optional]) are left out.
inline constexpr Call kConnectionExecute{L"Execute", Kind::Method, {VT_BSTR}, 1, true};
inline constexpr Call kConnectionClose{L"Close", Kind::Method};

// Recordset (_Recordset, Recordset15 in adoint.h).
inline constexpr Call kRecordsetOpen{L"Open", Kind::Method, {VT_BSTR, VT_DISPATCH, VT_I4, VT_I4, VT_I4}, 5};
inline constexpr Call kRecordsetFields{L"Fields", Kind::Get, {}, 0, true};
// Fields and Values are both [optional] and left out: the record as assigned is written.
inline constexpr Call kRecordsetUpdate{L"Update", Kind::Method};
inline constexpr Call kRecordsetCancelUpdate{L"CancelUpdate", Kind::Method};
inline constexpr Call kRecordsetEditMode{L"EditMode", Kind::Get, {}, 0, true};

// Fields and Field (Fields15, Field20 in adoint.h); the position is a 16-bit integer.
inline constexpr Call kFieldsItem{L"Item", Kind::Get, {VT_I2}, 1, true};
inline constexpr Call kFieldValue{L"Value", Kind::Get, {}, 0, true};
inline constexpr Call kFieldSetText{L"Value", Kind::Put, {VT_BSTR}, 1};
inline constexpr Call kFieldSetNumber{L"Value", Kind::Put, {VT_I2}, 1};

// ADOX Catalog (_Catalog in adoctint.h).
inline constexpr Call kCatalogCreate{L"Create", Kind::Method, {VT_BSTR}, 1, true};
inline constexpr Call kCatalogActiveConnection{L"ActiveConnection", Kind::Get, {}, 0, true};

// The IDispatch flags the store invokes a call with.
constexpr WORD dispatchFlags(const Call& call)
{
    switch (call.kind) {
        case Kind::Put:
            return DISPATCH_PROPERTYPUT;
        case Kind::Get:
            // Fields.Item(position) is a property with an argument, which Visual Basic calls
            // both ways; the type library's dispatch accepts either.
            return call.argCount ? DISPATCH_METHOD | DISPATCH_PROPERTYGET : DISPATCH_PROPERTYGET;
        case Kind::Method:
            break;
    }
    return DISPATCH_METHOD;
}

}  // namespace tolvane::win32::ado

#pragma once
// The compile-time comparison of one call record (ado_calls.h) with the vtable member that
// an ADO interface header declares for it; used by ado_calls_check.cpp and
// ado_catalog_check.cpp, which include the interface headers themselves.
#include <cstddef>
#include <tuple>
#include <type_traits>

#include "platform/win32/ado_calls.h"

namespace tolvane::win32::ado {

constexpr bool sameName(const wchar_t* a, const wchar_t* b)
{
    for (; *a && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

constexpr bool sameText(const char* a, const char* b)
{
    for (; *a && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

// The accessor prefix of the vtable member: get_ for a property read, put_ for a write.
constexpr Kind kindOfPrefix(const char* prefix)
{
    return sameText(prefix, "get_") ? Kind::Get : sameText(prefix, "put_") ? Kind::Put : Kind::Method;
}

// Whether an argument of VARIANT type `vt` fits a parameter declared as P.
template <class P>
constexpr bool fits(VARTYPE vt)
{
    if constexpr (std::is_same_v<P, VARIANT>)
        return vt != VT_EMPTY;  // a VARIANT parameter takes any value
    else if constexpr (std::is_same_v<P, BSTR>)
        return vt == VT_BSTR;
    else if constexpr (std::is_enum_v<P> || std::is_same_v<P, long> || std::is_same_v<P, int>)
        return vt == VT_I4 && sizeof(P) == 4;
    else if constexpr (std::is_same_v<P, short>)
        return vt == VT_I2;
    else
        return false;
}

// A parameter that may be left out without a default of its own: ADO's [optional] ones.
template <class P>
constexpr bool optionalKind()
{
    return std::is_same_v<P, VARIANT> || std::is_same_v<P, VARIANT*>;
}

template <class... P, std::size_t... I>
constexpr bool fitsParameters([[maybe_unused]] const Call& call, [[maybe_unused]] std::size_t inputs,
                              std::size_t defaulted, std::index_sequence<I...>)
{
    using Params = std::tuple<P...>;
    bool ok = true;
    std::size_t leftOutWithoutDefault = 0;
    (
        [&] {
            using Param = std::tuple_element_t<I, Params>;
            if (I >= inputs) return;  // the [out, retval] pointer
            if (I < call.argCount)
                ok = ok && fits<Param>(call.args[I]);
            else if (!optionalKind<Param>())
                ++leftOutWithoutDefault;
        }(),
        ...);
    return ok && leftOutWithoutDefault <= defaulted;
}

template <class C, class... P>
constexpr bool fitsMember(HRESULT (STDMETHODCALLTYPE C::*)(P...), const Call& call, std::size_t defaulted)
{
    constexpr std::size_t count = sizeof...(P);
    using Params = std::tuple<P...>;
    bool resultOk = true;
    std::size_t inputs = count;
    if (call.takesResult || call.kind == Kind::Get) {
        if constexpr (count == 0) {
            resultOk = false;
        } else {
            resultOk = call.takesResult && std::is_pointer_v<std::tuple_element_t<count - 1, Params>>;
            inputs = count - 1;
        }
    }
    if (call.kind == Kind::Put && (count != 1 || call.argCount != 1)) return false;
    return resultOk && call.argCount <= inputs &&
           fitsParameters<P...>(call, inputs, defaulted, std::make_index_sequence<count>{});
}

}  // namespace tolvane::win32::ado

// Interface::Prefix##Name is the vtable member; `call` the store's record for it.
#define TOLVANE_ADO_CHECK_DEFAULTED(Interface, Prefix, Name, call, defaulted)                                   \
    static_assert(::tolvane::win32::ado::sameName(L"" #Name, (call).name), #Interface "::" #Name ": the name"); \
    static_assert(::tolvane::win32::ado::kindOfPrefix(#Prefix) == (call).kind,                                  \
                  #Interface "::" #Name ": method or property");                                                \
    static_assert(::tolvane::win32::ado::fitsMember(&Interface::Prefix##Name, (call), (defaulted)),             \
                  #Interface "::" #Name ": the arguments")
#define TOLVANE_ADO_CHECK(Interface, Prefix, Name, call) TOLVANE_ADO_CHECK_DEFAULTED(Interface, Prefix, Name, call, 0)

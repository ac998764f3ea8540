#include "platform/win32/ado_dispatch.h"

#include <cstdio>

namespace tolvane::win32 {

namespace {

// Codes that come without a description (Wine's ADO gives none), in words.
std::string hresultText(HRESULT hr)
{
    const char* words = "";
    switch (static_cast<unsigned long>(hr)) {
        case 0x800A0BCDul:
            words = "there is no current record, ";
            break;
        case 0x800A0CC1ul:
            words = "there is no such item, ";
            break;
        case 0x80004001ul:
            words = "this ADO does not implement it, ";
            break;
        case 0x8002801Dul:
            words = "ADO's type library is not registered, ";
            break;
        default:
            break;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%serror 0x%08lX", words, static_cast<unsigned long>(hr));
    return text;
}

// Descriptions come with a full stop and line ends of their own; the message around
// them has its own punctuation.
std::string tidy(std::string text)
{
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return text;
}

}  // namespace

// A BSTR as the program's UTF-8 (narrow, win32_text.h), NULs of its own included.
std::string toUtf8(BSTR text)
{
    return text ? narrow(std::wstring(text, SysStringLen(text))) : std::string();
}

// One call by its record in ado_calls.h, whose argument types the build holds against
// ADO's declared interfaces; arguments of any other types are refused here.
Result<void> invoke(IDispatch* object, const ado::Call& call, Args* args, VARIANT* result)
{
    const wchar_t* name = call.name;
    const WORD flags = ado::dispatchFlags(call);
    Args none;
    if (!(args ? *args : none).match(call))
        return Error{"the settings store passes " + narrow(name) + " other arguments than ADO declares"};
    DISPID id = 0;
    LPOLESTR member = const_cast<LPOLESTR>(name);
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return Error{narrow(name) + " is not known to the database objects (" + hresultText(hr) + ")"};
    std::vector<VARIANT> reversed;  // IDispatch takes its arguments last first
    if (args) reversed.assign(args->list().rbegin(), args->list().rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    DISPID putId = DISPID_PROPERTYPUT;
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    UINT badArgument = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &badArgument);
    if (SUCCEEDED(hr)) return success();
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    std::string description = tidy(toUtf8(exception.bstrDescription));
    if (exception.bstrDescription) SysFreeString(exception.bstrDescription);
    if (exception.bstrSource) SysFreeString(exception.bstrSource);
    if (exception.bstrHelpFile) SysFreeString(exception.bstrHelpFile);
    if (hr == DISP_E_EXCEPTION && exception.scode != 0) hr = exception.scode;
    if (description.empty()) description = narrow(name) + " failed: " + hresultText(hr);
    return Error{description};
}

Result<Disp> createObject(const wchar_t* progId)
{
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) return Error{narrow(progId) + " is not installed (" + hresultText(hr) + ")"};
    IDispatch* object = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(&object));
    if (FAILED(hr) || !object) return Error{narrow(progId) + " cannot be created (" + hresultText(hr) + ")"};
    return Disp(object);
}

}  // namespace tolvane::win32

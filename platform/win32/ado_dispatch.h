// The database objects' IDispatch calls, for the ADO settings store: an object reference, a
// result, the arguments of a call, and the call itself by its record in ado_calls.h.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/model/result.h"
#include "platform/win32/ado_calls.h"
#include "platform/win32/win32_text.h"

#include <windows.h>
#include <oleauto.h>
#include <objbase.h>

namespace tolvane::win32 {

// One IDispatch reference.
class Disp {
public:
    Disp() = default;
    explicit Disp(IDispatch* p) : p_(p) {}
    Disp(Disp&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Disp& operator=(Disp&& o) noexcept
    {
        if (this != &o) {
            reset();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    Disp(const Disp&) = delete;
    Disp& operator=(const Disp&) = delete;
    ~Disp() { reset(); }
    void reset()
    {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    IDispatch* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    IDispatch* p_ = nullptr;
};

struct Var {
    VARIANT v;
    Var() { VariantInit(&v); }
    ~Var() { VariantClear(&v); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    // Takes the object reference out of a VT_DISPATCH result.
    Disp takeDispatch()
    {
        if (v.vt != VT_DISPATCH || !v.pdispVal) return {};
        Disp d(v.pdispVal);
        v.vt = VT_EMPTY;
        v.pdispVal = nullptr;
        return d;
    }
};

// Arguments in the order the method declares them; owned and cleared here.
class Args {
public:
    Args() = default;
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;
    ~Args()
    {
        for (VARIANT& v : list_) VariantClear(&v);
    }
    Args& text(const std::string& s)
    {
        VARIANT& v = next();
        v.vt = VT_BSTR;
        const std::wstring wide = widen(s);
        v.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        return *this;
    }
    Args& i4(int n)
    {
        VARIANT& v = next();
        v.vt = VT_I4;
        v.lVal = n;
        return *this;
    }
    Args& i2(int16_t n)
    {
        VARIANT& v = next();
        v.vt = VT_I2;
        v.iVal = n;
        return *this;
    }
    Args& object(IDispatch* d)
    {
        VARIANT& v = next();
        v.vt = VT_DISPATCH;
        v.pdispVal = d;
        d->AddRef();
        return *this;
    }
    std::vector<VARIANT>& list() { return list_; }
    // Whether these are the arguments the call's record lists, type for type.
    bool match(const ado::Call& call) const
    {
        if (list_.size() != call.argCount) return false;
        for (size_t i = 0; i < list_.size(); ++i)
            if (list_[i].vt != call.args[i]) return false;
        return true;
    }

private:
    VARIANT& next()
    {
        list_.emplace_back();
        VariantInit(&list_.back());
        return list_.back();
    }
    std::vector<VARIANT> list_;
};

// A BSTR as the program's UTF-8 (narrow, win32_text.h), NULs of its own included.
std::string toUtf8(BSTR text);

// One call by its record in ado_calls.h, whose argument types the build holds against
// ADO's declared interfaces; arguments of any other types are refused here.
Result<void> invoke(IDispatch* object, const ado::Call& call, Args* args, VARIANT* result);

// A new object of the class registered as `progId`.
Result<Disp> createObject(const wchar_t* progId);

}  // namespace tolvane::win32

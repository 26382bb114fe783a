// Owner of one VARIANT: cleared when the owner goes, so strings, arrays and
// interfaces held in it are released exactly once.
#pragma once

#include <windows.h>
#include <oleauto.h>

class Variant {
public:
    Variant() noexcept { VariantInit(&value_); }
    explicit Variant(LONG number) noexcept
    {
        VariantInit(&value_);
        V_VT(&value_) = VT_I4;
        V_I4(&value_) = number;
    }
    // A VT_BSTR copy of text; VT_EMPTY when the copy cannot be made.
    explicit Variant(const wchar_t* text) noexcept
    {
        VariantInit(&value_);
        BSTR copy = SysAllocString(text ? text : L"");
        if (!copy) return;
        V_VT(&value_) = VT_BSTR;
        V_BSTR(&value_) = copy;
    }
    ~Variant() { VariantClear(&value_); }

    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* Get() noexcept { return &value_; }
    const VARIANT* Get() const noexcept { return &value_; }
    VARTYPE Type() const noexcept { return V_VT(&value_); }

    // Clears the current value and gives the slot to an [out] argument.
    VARIANT* Out() noexcept
    {
        Clear();
        return &value_;
    }
    void Clear() noexcept { VariantClear(&value_); }

    // A copy for the caller, who clears it (VariantCopy semantics).
    [[nodiscard]] HRESULT CopyTo(VARIANT* out) const noexcept
    {
        if (!out) return E_POINTER;
        VariantInit(out);
        return VariantCopy(out, const_cast<VARIANT*>(&value_));
    }
    // Clears the current value and holds flag (VT_BOOL).
    void PutBool(bool flag) noexcept
    {
        VARIANT* value = Out();
        V_VT(value) = VT_BOOL;
        V_BOOL(value) = flag ? VARIANT_TRUE : VARIANT_FALSE;
    }
    // Hands the value over; this owner is left VT_EMPTY.
    VARIANT Detach() noexcept
    {
        VARIANT value = value_;
        VariantInit(&value_);
        return value;
    }

private:
    VARIANT value_;
};

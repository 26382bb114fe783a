// Owner of one BSTR: freed when the owner goes, handed out with Detach or as a
// copy for [out, retval] arguments.
#pragma once

#include <windows.h>
#include <oleauto.h>

class Bstr {
public:
    Bstr() = default;
    // A copy of text; null text gives a null BSTR (an empty string to COM).
    explicit Bstr(const wchar_t* text) : bstr_(text ? SysAllocString(text) : nullptr) {}
    Bstr(const wchar_t* text, UINT length) : bstr_(SysAllocStringLen(text, length)) {}
    ~Bstr() { SysFreeString(bstr_); }

    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : bstr_(other.Detach()) {}
    Bstr& operator=(Bstr&& other) noexcept
    {
        if (this != &other) Attach(other.Detach());
        return *this;
    }

    BSTR Get() const noexcept { return bstr_; }
    // Never null: what COM treats a null BSTR as.
    const wchar_t* Text() const noexcept { return bstr_ ? bstr_ : L""; }
    UINT Length() const noexcept { return SysStringLen(bstr_); }
    bool Empty() const noexcept { return Length() == 0; }

    // Frees the current string and gives its slot to an [out] argument.
    BSTR* Out() noexcept
    {
        Attach(nullptr);
        return &bstr_;
    }
    void Attach(BSTR bstr) noexcept
    {
        if (bstr_ != bstr) SysFreeString(bstr_);
        bstr_ = bstr;
    }
    BSTR Detach() noexcept
    {
        BSTR bstr = bstr_;
        bstr_ = nullptr;
        return bstr;
    }

    // A copy for the caller to free; E_OUTOFMEMORY when it cannot be made.
    [[nodiscard]] HRESULT CopyTo(BSTR* out) const noexcept
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!bstr_) return S_OK;
        *out = SysAllocStringLen(bstr_, SysStringLen(bstr_));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    BSTR bstr_ = nullptr;
};

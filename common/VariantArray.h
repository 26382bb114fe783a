// Lists as automation arrays: the file lists and the per-file public flags
// that callers hand to the uploader's entry points.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string>
#include <vector>

// An array of strings (VT_ARRAY | VT_BSTR) in out, which must be empty (its
// owner frees the array even when filling it throws). Throws std::bad_alloc.
inline void PutStringArray(VARIANT* out, const std::vector<std::wstring>& texts)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts.size()));
    if (!array) throw std::bad_alloc();
    V_VT(out) = VT_ARRAY | VT_BSTR;
    V_ARRAY(out) = array;
    for (LONG i = 0; i < static_cast<LONG>(texts.size()); ++i) {
        const std::wstring& text = texts[static_cast<size_t>(i)];
        BSTR copy = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
        if (!copy) throw std::bad_alloc();
        const HRESULT hr = SafeArrayPutElement(array, &i, copy);
        SysFreeString(copy);
        if (FAILED(hr)) throw std::bad_alloc();
    }
}

// An array of variants (VT_ARRAY | VT_VARIANT) in out, which must be empty,
// each element made by fill(VARIANT*, const T&) from one value (its owner frees
// the array even when filling it throws). Throws std::bad_alloc.
template <typename T, typename Fill>
void PutVariantArray(VARIANT* out, const std::vector<T>& values, Fill fill)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
    if (!array) throw std::bad_alloc();
    V_VT(out) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(out) = array;
    for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
        VARIANT element;
        VariantInit(&element);
        fill(&element, values[static_cast<size_t>(i)]);
        const HRESULT hr = SafeArrayPutElement(array, &i, &element);
        VariantClear(&element);
        if (FAILED(hr)) throw std::bad_alloc();
    }
}

// An array of variants holding VT_BOOL flags (VT_ARRAY | VT_VARIANT).
inline void PutFlagArray(VARIANT* out, const std::vector<bool>& flags)
{
    PutVariantArray(out, flags, [](VARIANT* flag, bool value) {
        V_VT(flag) = VT_BOOL;
        V_BOOL(flag) = value ? VARIANT_TRUE : VARIANT_FALSE;
    });
}

// Lists of strings as automation arrays: the file lists that callers hand to
// the uploader's entry points.
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

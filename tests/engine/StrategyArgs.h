// Arguments of the strategies' entry points as callers pass them: item lists
// as string arrays, file addresses of local paths.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace vptest {

// A VT_ARRAY | VT_BSTR of paths; the caller clears it.
inline VARIANT PathArray(const std::vector<std::wstring>& paths)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(paths.size()));
    LONG i = 0;
    for (const auto& p : paths) {
        BSTR b = SysAllocString(p.c_str());
        SafeArrayPutElement(array, &i, b);
        SysFreeString(b);
        ++i;
    }
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&v) = array;
    return v;
}

// "file:///C:/dir/name" of a local path.
inline std::wstring FileUrl(const std::wstring& path)
{
    std::wstring url = L"file:///" + path;
    for (auto& c : url)
        if (c == L'\\') c = L'/';
    return url;
}

}  // namespace vptest

// The dragged data double (see the header).
#include "support/FileDropData.h"

#include <shlobj.h>

#include <cstring>

namespace vptest {

FileDropData::FileDropData(Kind kind, std::vector<std::wstring> paths) : kind_(kind), paths_(std::move(paths)) {}

STDMETHODIMP FileDropData::QueryGetData(FORMATETC* format)
{
    if (!format) return E_POINTER;
    const CLIPFORMAT offered = kind_ == Kind::TextOnly ? CF_UNICODETEXT : CF_HDROP;
    if (format->cfFormat != offered) return DV_E_FORMATETC;
    return format->tymed & TYMED_HGLOBAL ? S_OK : DV_E_TYMED;
}

STDMETHODIMP FileDropData::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out)
{
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

STDMETHODIMP FileDropData::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    ++getDataCalls;
    if (!medium) return E_POINTER;
    *medium = STGMEDIUM{};
    const HRESULT hr = QueryGetData(format);
    if (FAILED(hr)) return hr;
    // DROPFILES, then the wide paths, each ended by a NUL, and a final NUL.
    std::wstring names;
    for (const std::wstring& path : paths_) names += path + L'\0';
    names += L'\0';
    const SIZE_T size = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!memory) return E_OUTOFMEMORY;
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = kind_ == Kind::BrokenList ? static_cast<DWORD>(size + 4096) : sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(header + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    return S_OK;
}

}  // namespace vptest

// An OLE data object as a drag from the desktop carries it: a file list
// (CF_HDROP in global memory, a new copy for every GetData) or only text, or a
// file list whose header points outside its memory, as a hostile source could
// make it.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

#include "common/ComObject.h"

namespace vptest {

class FileDropData : public ComObject<FileDropData, IDataObject> {
public:
    enum class Kind { Files, TextOnly, BrokenList };
    FileDropData(Kind kind, std::vector<std::wstring> paths);

    int getDataCalls = 0;

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ~FileDropData() override = default;
    const Kind kind_;
    const std::vector<std::wstring> paths_;
};

}  // namespace vptest

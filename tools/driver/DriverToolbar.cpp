// The driver's toolbar stand-in (see the header).
#include "tools/driver/DriverToolbar.h"

#include "common/SettingsStore.h"
#include "engine/UploadHistory.h"

HRESULT DriverToolbar::UseThumbnail(BOOL* result)
try {
    if (!result) return E_POINTER;
    *result = SettingsStore().ImagesSize() == kImagesSizeThumbnail ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
} catch (...) {
    return E_FAIL;
}

HRESULT DriverToolbar::GetLinkStyle(LinkStyleEnum* style)
try {
    if (!style) return E_POINTER;
    const DWORD id = SettingsStore().LinkStyleId();
    *style = id >= kLinkStyleHtml && id <= kLinkStyleFriendLink ? static_cast<LinkStyleEnum>(id - kLinkStyleHtml)
                                                                 : lsHTML;
    return S_OK;
} catch (...) {
    return E_FAIL;
}

HRESULT DriverToolbar::Style(BOOL* result, LinkStyleEnum style)
{
    LinkStyleEnum current = lsHTML;
    const HRESULT hr = GetLinkStyle(&current);
    if (FAILED(hr)) return hr;
    *result = current == style ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT DriverToolbar::AddHistory(LONG_PTR record)
try {
    // The record lives on the upload thread of this process for the call.
    if (!record) return E_INVALIDARG;
    results.push_back(*reinterpret_cast<const CUploadResult*>(record));
    SettingsStore store;
    UploadHistory history(store);
    ToolbarHistory toolbarHistory;
    toolbarHistory.Load(history);
    toolbarHistory.Add(history, results.back());
    return S_OK;
} catch (...) {
    return E_FAIL;
}

HRESULT DriverToolbar::SetPasteData(BSTR data, BSTR toolTip)
try {
    pasteData = data ? data : L"";
    pasteToolTip = toolTip ? toolTip : L"";
    finished = true;
    return S_OK;
} catch (...) {
    return E_FAIL;
}

HRESULT DriverToolbar::GetOptions(BOOL* resize, BSTR* format, BOOL* isPublic, VARIANT* removeSizeBar)
try {
    if (!resize || !format || !isPublic || !removeSizeBar) return E_POINTER;
    SettingsStore store;
    *resize = store.Resize() ? TRUE : FALSE;
    *format = nullptr;
    *isPublic = store.Public() ? TRUE : FALSE;
    VariantInit(removeSizeBar);
    V_VT(removeSizeBar) = VT_BOOL;
    V_BOOL(removeSizeBar) = store.RemoveSizeBar() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
} catch (...) {
    return E_FAIL;
}

// The toolbar band double (see the header).
#include "support/BrowserStockBar.h"

#include <gtest/gtest.h>

namespace vptest {

HRESULT BrowserStockBar::Unexpected(const char* method)
{
    ADD_FAILURE() << "unexpected call of IStockBar::" << method;
    return E_NOTIMPL;
}

HRESULT BrowserStockBar::UseThumbnail(BOOL* result)
{
    Record();
    if (!result) return E_POINTER;
    *result = useThumbnail;
    return optionsResult;
}

HRESULT BrowserStockBar::GetLinkStyle(LinkStyleEnum* style)
{
    Record();
    if (!style) return E_POINTER;
    *style = linkStyle;
    return optionsResult;
}

HRESULT BrowserStockBar::AddHistory(LONG_PTR record)
{
    Record();
    if (!record) {
        ADD_FAILURE() << "AddHistory without a record";
        return E_INVALIDARG;
    }
    history.push_back(*reinterpret_cast<const CUploadResult*>(record));
    return S_OK;
}

HRESULT BrowserStockBar::SetPasteData(BSTR data, BSTR toolTip)
{
    Record();
    pasteData.push_back({data ? data : L"", toolTip ? toolTip : L""});
    return S_OK;
}

}  // namespace vptest

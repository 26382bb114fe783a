// The toolbar band double (see the header).
#include "support/BrowserStockBar.h"

#include <gtest/gtest.h>

namespace vptest {

HRESULT BrowserStockBar::Unexpected(const char* method)
{
    ADD_FAILURE() << "unexpected call of IStockBar::" << method;
    return E_NOTIMPL;
}

HRESULT BrowserStockBar::IncrementDragAndDrop()
{
    if (!pageHandlers) return Unexpected("IncrementDragAndDrop");
    Record();
    ++dropTargets;
    return S_OK;
}

HRESULT BrowserStockBar::DecrementDragAndDrop()
{
    if (!pageHandlers) return Unexpected("DecrementDragAndDrop");
    Record();
    EXPECT_GT(dropTargets, 0) << "more drop targets given back than counted";
    --dropTargets;
    return S_OK;
}

HRESULT BrowserStockBar::GetOptions(BOOL* resizeOut, BSTR* formatOut, BOOL* isPublicOut, VARIANT* removeSizeBarOut)
{
    if (!pageHandlers) return Unexpected("GetOptions");
    Record();
    if (!resizeOut || !formatOut || !isPublicOut || !removeSizeBarOut) return E_POINTER;
    *resizeOut = resize;
    *formatOut = SysAllocString(format.c_str());
    *isPublicOut = isPublic;
    VariantInit(removeSizeBarOut);
    V_VT(removeSizeBarOut) = VT_BOOL;
    V_BOOL(removeSizeBarOut) = removeSizeBar ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT BrowserStockBar::RunCommand(const wchar_t* name, const VARIANT& destination)
{
    if (!pageHandlers) return Unexpected("a command");
    Record();
    commands.push_back({name, V_VT(&destination)});
    return S_OK;
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

// The type library embedded in the toolbar library (and in this program):
// identifiers, dispatch ids and help texts that scripts and the registration
// rely on, the interfaces kept out of it, and pointer-carrying arguments that
// must survive a dispatch call at full width.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VellumpostToolbar_h.h"

using Microsoft::WRL::ComPtr;

namespace {

GUID Guid(const wchar_t* text)
{
    GUID guid{};
    EXPECT_EQ(S_OK, CLSIDFromString(text, &guid)) << text;
    return guid;
}

class TypeLibrary : public testing::Test {
protected:
    void SetUp() override
    {
        wchar_t path[MAX_PATH];
        ASSERT_NE(0u, GetModuleFileNameW(nullptr, path, MAX_PATH));
        ASSERT_EQ(S_OK, LoadTypeLibEx(path, REGKIND_NONE, &lib_));
    }

    ComPtr<ITypeInfo> InfoOf(const GUID& guid)
    {
        ComPtr<ITypeInfo> info;
        EXPECT_EQ(S_OK, lib_->GetTypeInfoOfGuid(guid, &info));
        return info;
    }

    // The vtable half of a dual interface.
    ComPtr<ITypeInfo> VtableInfoOf(const GUID& iid)
    {
        ComPtr<ITypeInfo> dispatch = InfoOf(iid), vtable;
        HREFTYPE ref = 0;
        if (dispatch && SUCCEEDED(dispatch->GetRefTypeOfImplType(-1, &ref)))
            dispatch->GetRefTypeInfo(ref, &vtable);
        EXPECT_TRUE(vtable) << "no vtable interface";
        return vtable;
    }

    static std::wstring NameOf(ITypeInfo* info, MEMBERID id = MEMBERID_NIL, std::wstring* help = nullptr)
    {
        BSTR name = nullptr, doc = nullptr;
        info->GetDocumentation(id, &name, &doc, nullptr, nullptr);
        std::wstring result = name ? name : L"";
        if (help) *help = doc ? doc : L"";
        SysFreeString(name);
        SysFreeString(doc);
        return result;
    }

    static MEMBERID DispidOf(ITypeInfo* info, const wchar_t* name)
    {
        MEMBERID id = MEMBERID_NIL;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        EXPECT_EQ(S_OK, info->GetIDsOfNames(names, 1, &id)) << name;
        return id;
    }

    // The type of the first argument of the vtable function with this dispatch
    // id and invocation kind.
    static VARTYPE FirstArgumentType(ITypeInfo* vtable, MEMBERID id, INVOKEKIND kind)
    {
        TYPEATTR* attr = nullptr;
        vtable->GetTypeAttr(&attr);
        VARTYPE type = VT_ILLEGAL;
        for (UINT i = 0; attr && i < attr->cFuncs; ++i) {
            FUNCDESC* func = nullptr;
            if (FAILED(vtable->GetFuncDesc(i, &func))) continue;
            if (func->memid == id && func->invkind == kind && func->cParams > 0)
                type = func->lprgelemdescParam[0].tdesc.vt;
            vtable->ReleaseFuncDesc(func);
        }
        vtable->ReleaseTypeAttr(attr);
        return type;
    }

    ComPtr<ITypeLib> lib_;
};

TEST_F(TypeLibrary, CarriesTheLibraryIdentifierAndVersion)
{
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, lib_->GetLibAttr(&attr));
    EXPECT_EQ(Guid(L"{080F7E03-AC50-4949-AACA-E79F82D3099F}"), attr->guid);
    EXPECT_EQ(LIBID_VellumpostToolbarLib, attr->guid);
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
#ifdef _WIN64
    EXPECT_EQ(SYS_WIN64, attr->syskind);
#else
    EXPECT_EQ(SYS_WIN32, attr->syskind);
#endif
    lib_->ReleaseTLibAttr(attr);
}

TEST_F(TypeLibrary, HoldsEveryDualInterfaceUnderItsIdentifier)
{
    const struct { const wchar_t* name; const wchar_t* iid; } cases[] = {
        {L"IStockBar", L"{72499E50-11FA-4F7C-B1DE-C06FD973EC23}"},
        {L"IFileUploader", L"{B9BFF2CA-04AD-4F60-9E32-A55D0F788D42}"},
        {L"IIEImageUploader", L"{7A42074F-34D0-4032-8484-F61D0EB5BCD1}"},
        {L"INavigatorSupervisor", L"{A7B202AB-A508-4235-9C97-C25799782590}"},
        {L"IDragAndDropHandler", L"{C1FD5914-2A89-4EA5-B893-BF0CD6BB0E57}"},
        {L"IButtonsHandler", L"{110696FA-5EAB-4DFD-A465-9FA1A1C86F7F}"},
        {L"IImageContextMenu", L"{2C95DAFF-0E4E-4D1F-A7D0-5EF7A85DD668}"},
        {L"ICheckUpdate", L"{07C8DC35-2BB9-48EF-9A4D-0E6D1611DB84}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<ITypeInfo> info = InfoOf(Guid(c.iid));
        ASSERT_TRUE(info);
        EXPECT_EQ(c.name, NameOf(info.Get()));
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
        EXPECT_EQ(TKIND_DISPATCH, attr->typekind);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
        info->ReleaseTypeAttr(attr);
    }
}

TEST_F(TypeLibrary, ClassesNameTheirDefaultInterface)
{
    const struct { const wchar_t* name; const wchar_t* clsid; const wchar_t* iid; const wchar_t* help; } cases[] = {
        {L"StockBar", L"{30087E57-D3AE-437D-A737-AF75BB00B297}", L"{72499E50-11FA-4F7C-B1DE-C06FD973EC23}",
         L"Vellumpost Toolbar"},
        {L"NavigatorSupervisor", L"{4C4CA6E5-53DF-4170-A8D5-3A93EC2A4872}",
         L"{A7B202AB-A508-4235-9C97-C25799782590}", L"NavigatorSupervisor Class"},
        {L"FileUploader", L"{1335A2E8-3429-4C3E-8161-7A6A503CCD40}", L"{B9BFF2CA-04AD-4F60-9E32-A55D0F788D42}",
         L"FileUploader Class"},
        {L"DragAndDropHandler", L"{52A85834-A660-4A3E-8557-D1D2F1127694}",
         L"{C1FD5914-2A89-4EA5-B893-BF0CD6BB0E57}", L"DragAndDropHandler Class"},
        {L"ImageContextMenu", L"{E16C6003-9217-4626-83B0-757C9EA47E53}",
         L"{2C95DAFF-0E4E-4D1F-A7D0-5EF7A85DD668}", L"ImageContextMenu Class"},
        {L"IEImageUploader", L"{7B533E1F-9490-4E99-AE7B-CDCC393A4A10}", L"{7A42074F-34D0-4032-8484-F61D0EB5BCD1}",
         L"IEImageUploader Class"},
        {L"ButtonsHandler", L"{6904E31B-2572-4DE3-9C89-6651583F70C2}", L"{110696FA-5EAB-4DFD-A465-9FA1A1C86F7F}",
         L"ButtonsHandler Class"},
        {L"CheckUpdate", L"{871D8DC2-84A4-4D1F-99D5-2A4E3BE2E87C}", L"{07C8DC35-2BB9-48EF-9A4D-0E6D1611DB84}",
         L"CheckUpdate Class"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<ITypeInfo> info = InfoOf(Guid(c.clsid));
        ASSERT_TRUE(info);
        std::wstring help;
        EXPECT_EQ(c.name, NameOf(info.Get(), MEMBERID_NIL, &help));
        EXPECT_EQ(c.help, help);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
        EXPECT_EQ(TKIND_COCLASS, attr->typekind);
        EXPECT_EQ(1, attr->cImplTypes);
        info->ReleaseTypeAttr(attr);

        INT flags = 0;
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> iface;
        ASSERT_EQ(S_OK, info->GetImplTypeFlags(0, &flags));
        EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
        ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(0, &ref));
        ASSERT_EQ(S_OK, info->GetRefTypeInfo(ref, &iface));
        ASSERT_EQ(S_OK, iface->GetTypeAttr(&attr));
        EXPECT_EQ(Guid(c.iid), attr->guid);
        iface->ReleaseTypeAttr(attr);
    }
}

// The inner interfaces are for native callers in the same process; they must
// not be registered for marshalling through the type library.
TEST_F(TypeLibrary, InnerInterfacesAreNotInTheLibrary)
{
    for (const GUID& iid : {IID_IInnerFileUploader, IID_IInnerImageContextMenu}) {
        ComPtr<ITypeInfo> info;
        EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, lib_->GetTypeInfoOfGuid(iid, &info));
    }
    EXPECT_EQ(Guid(L"{177E723D-5472-4488-B759-0F4320FF6E13}"), IID_IInnerFileUploader);
    EXPECT_EQ(Guid(L"{BD4B3C6F-CF81-4E73-92E3-FC906B1D8A81}"), IID_IInnerImageContextMenu);
}

TEST_F(TypeLibrary, ScriptNamesMapToTheirDispatchIds)
{
    const struct { const GUID* iid; const wchar_t* name; MEMBERID id; } cases[] = {
        {&IID_IStockBar, L"IncrementDragAndDrop", 1}, {&IID_IStockBar, L"UseForum1Code", 6},
        {&IID_IStockBar, L"UseForum2Code", 10}, {&IID_IStockBar, L"UseFriendLink", 11},
        {&IID_IStockBar, L"AddHistory", 7}, {&IID_IStockBar, L"GetLinkStyle", 12},
        {&IID_IStockBar, L"Upload", 14}, {&IID_IStockBar, L"ScreenShot", 16},
        {&IID_IFileUploader, L"toolbar", 2}, {&IID_IFileUploader, L"Action", 7},
        {&IID_IFileUploader, L"TakeScreenShot", 10},
        {&IID_IIEImageUploader, L"Cancel", 2}, {&IID_IIEImageUploader, L"strategy", 8},
        {&IID_IIEImageUploader, L"target", 9},
        {&IID_INavigatorSupervisor, L"DocumentComplete", 259},
        {&IID_IDragAndDropHandler, L"IsSupported", 4}, {&IID_IDragAndDropHandler, L"CallerHWND", 8},
        {&IID_IButtonsHandler, L"Browser", 4}, {&IID_IButtonsHandler, L"CallerHWND", 5},
        {&IID_IImageContextMenu, L"UploadAllImages", 1}, {&IID_IImageContextMenu, L"TransloadImage", 5},
        {&IID_ICheckUpdate, L"CallerHWND", 2},
    };
    for (const auto& c : cases) {
        ComPtr<ITypeInfo> info = InfoOf(*c.iid);
        ASSERT_TRUE(info);
        EXPECT_EQ(c.id, DispidOf(info.Get(), c.name)) << c.name;
    }
}

TEST_F(TypeLibrary, HelpTextsNameTheMember)
{
    const struct { const GUID* iid; MEMBERID id; const wchar_t* help; } cases[] = {
        {&IID_IFileUploader, 2, L"property ToolBar"}, {&IID_IFileUploader, 7, L"property action"},
        {&IID_IFileUploader, 1, L"property destination"}, {&IID_IFileUploader, 8, L"method OpenUploadDialog"},
        {&IID_IIEImageUploader, 5, L"property ToolBar"}, {&IID_IIEImageUploader, 1, L"method Upload"},
    };
    for (const auto& c : cases) {
        ComPtr<ITypeInfo> info = InfoOf(*c.iid);
        ASSERT_TRUE(info);
        std::wstring help;
        NameOf(info.Get(), c.id, &help);
        EXPECT_EQ(c.help, help) << "member " << c.id;
    }
}

// The band's vtable order differs from its dispatch-id order; callers built
// against the header and the type library must agree on it.
TEST_F(TypeLibrary, StockBarMethodsKeepTheirVtableOrder)
{
    ComPtr<ITypeInfo> vtable = VtableInfoOf(IID_IStockBar);
    ASSERT_TRUE(vtable);
    const MEMBERID order[] = {1, 2, 3, 4, 5, 6, 10, 11, 7, 8, 9, 12, 14, 15, 16};
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, vtable->GetTypeAttr(&attr));
    ASSERT_EQ(15, attr->cFuncs);
    vtable->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < 15; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_EQ(S_OK, vtable->GetFuncDesc(i, &func));
        EXPECT_EQ(order[i], func->memid) << "slot " << i;
        EXPECT_EQ(static_cast<SHORT>((7 + i) * sizeof(void*)), func->oVft) << "slot " << i;
        vtable->ReleaseFuncDesc(func);
    }
}

TEST_F(TypeLibrary, PointerCarryingArgumentsArePointerSized)
{
#ifdef _WIN64
    const VARTYPE pointerType = VT_I8;
#else
    const VARTYPE pointerType = VT_I4;
#endif
    ComPtr<ITypeInfo> bar = VtableInfoOf(IID_IStockBar), uploader = VtableInfoOf(IID_IIEImageUploader);
    ASSERT_TRUE(bar && uploader);
    EXPECT_EQ(pointerType, FirstArgumentType(bar.Get(), 7, INVOKE_FUNC));             // AddHistory
    EXPECT_EQ(pointerType, FirstArgumentType(uploader.Get(), 8, INVOKE_PROPERTYPUT));  // strategy
    EXPECT_EQ(pointerType, FirstArgumentType(uploader.Get(), 9, INVOKE_PROPERTYPUT));  // target
}

// A band whose only working method records what AddHistory received.
class RecordingStockBar : public IStockBar {
public:
    LONG_PTR received = 0;
    int calls = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IStockBar) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE IncrementDragAndDrop() override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE DecrementDragAndDrop() override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE EnableMyImages(BOOL) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE UseThumbnail(BOOL*) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE UseHTMLCode(BOOL*) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE UseForum1Code(BOOL*) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE UseForum2Code(BOOL*) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE UseFriendLink(BOOL*) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE AddHistory(LONG_PTR image_info) override
    {
        received = image_info;
        ++calls;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetPasteData(BSTR, BSTR) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE GetOptions(BOOL*, BSTR*, BOOL*, VARIANT*) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE GetLinkStyle(LinkStyleEnum*) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE Upload(VARIANT) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE SlideShow(VARIANT) override { return Unexpected(); }
    HRESULT STDMETHODCALLTYPE ScreenShot(VARIANT) override { return Unexpected(); }

private:
    static HRESULT Unexpected()
    {
        ADD_FAILURE() << "unexpected call";
        return E_UNEXPECTED;
    }
};

// A dispatch call that goes through the type library hands a whole address to
// the method; a 32-bit argument type would cut the upper half off.
TEST_F(TypeLibrary, AddressPassedThroughDispatchArrivesWhole)
{
    ComPtr<ITypeInfo> vtable = VtableInfoOf(IID_IStockBar);
    ASSERT_TRUE(vtable);
    RecordingStockBar bar;
    int record = 0;
    VARIANT argument;
    VariantInit(&argument);
#ifdef _WIN64
    V_VT(&argument) = VT_I8;
    V_I8(&argument) = reinterpret_cast<LONG_PTR>(&record);
#else
    V_VT(&argument) = VT_I4;
    V_I4(&argument) = reinterpret_cast<LONG_PTR>(&record);
#endif
    DISPPARAMS params{&argument, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO error{};
    UINT badArgument = 0;
    ASSERT_EQ(S_OK, vtable->Invoke(static_cast<IStockBar*>(&bar), 7, DISPATCH_METHOD, &params, &result, &error,
                                   &badArgument));
    EXPECT_EQ(1, bar.calls);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(&record), bar.received);
    VariantClear(&result);
}

TEST_F(TypeLibrary, EnumerationsCarryTheValuesSentToTheService)
{
    auto valuesOf = [this](const wchar_t* enumName) {
        std::vector<std::pair<std::wstring, LONG>> values;
        for (UINT i = 0; i < lib_->GetTypeInfoCount(); ++i) {
            ComPtr<ITypeInfo> info;
            if (FAILED(lib_->GetTypeInfo(i, &info)) || NameOf(info.Get()) != enumName) continue;
            TYPEATTR* attr = nullptr;
            info->GetTypeAttr(&attr);
            EXPECT_EQ(TKIND_ENUM, attr->typekind);
            for (UINT v = 0; v < attr->cVars; ++v) {
                VARDESC* var = nullptr;
                info->GetVarDesc(v, &var);
                values.emplace_back(NameOf(info.Get(), var->memid), V_I4(var->lpvarValue));
                info->ReleaseVarDesc(var);
            }
            info->ReleaseTypeAttr(attr);
        }
        return values;
    };
    using Values = std::vector<std::pair<std::wstring, LONG>>;
    EXPECT_EQ((Values{{L"lsHTML", 0}, {L"lsForum1", 1}, {L"lsForum2", 2}, {L"lsFriendLink", 3}}),
              valuesOf(L"LinkStyleEnum"));
    EXPECT_EQ((Values{{L"asNone", 0}, {L"asDragAndDrop", 1}, {L"asUpload", 2}, {L"asTransaload", 3},
                      {L"asSlideshow", 4}, {L"asScreenshot", 5}, {L"asPostToBlog", 6}, {L"asTagImage", 7},
                      {L"asFromToolbar", 16}, {L"asFromBrowser", 32}, {L"asFromExplorer", 48}}),
              valuesOf(L"ActionStatisticsEnum"));
}

}  // namespace

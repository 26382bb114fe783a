// The toolbar band in a frame played by the tests: siting and re-siting, the
// process-wide active bar, band information, the option readers, history
// records it accepts, and drops on the toolbar.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "browser/BandFixture.h"
#include "browser/ReflectionWnd.h"
#include "common/ComModule.h"
#include "common/Bstr.h"
#include "common/SettingsStore.h"
#include "common/Variant.h"
#include "engine/InternetExplorerImageTarget.h"

using Microsoft::WRL::ComPtr;

namespace vptest {
namespace {

class DataObjectStub : public ComObject<DataObjectStub, IDataObject> {
public:
    STDMETHODIMP GetData(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
};

// Whether window is a drop target now (registering it again is refused).
bool IsDropTarget(HWND window)
{
    ComPtr<IDropTarget> target = CStockBar::Make<IDropTarget>();
    const HRESULT hr = RegisterDragDrop(window, target.Get());
    if (SUCCEEDED(hr)) RevokeDragDrop(window);
    return hr == DRAGDROP_E_ALREADYREGISTERED;
}

CUploadResult Result(const std::wstring& name)
{
    CUploadResult result;
    result.name = name;
    result.SetImageLink((L"http://i.vellumpost.com/a/b/" + name).c_str());
    return result;
}

TEST_F(BandTest, ResitingTearsTheFirstSiteDownAndTheLastSitedBandIsActive)
{
    auto first = SitedBand();
    HWND firstToolbar = nullptr;
    first->GetWindow(&firstToolbar);
    ASSERT_TRUE(IsWindow(firstToolbar));
    EXPECT_TRUE(IsDropTarget(firstToolbar));
    const auto searchIcon = reinterpret_cast<HICON>(
        SendMessageW(GetDlgItem(firstToolbar, ID_BUTTON_SEARCH), BM_GETIMAGE, IMAGE_ICON, 0));
    ASSERT_NE(nullptr, searchIcon);
    EXPECT_EQ(static_cast<IStockBar*>(first.Get()), CStockBar::ActiveBar().Get());
    ASSERT_EQ(1u, helpers_.supervisors.size());
    EXPECT_EQ(1, helpers_.supervisors[0]->starts);

    // A second site: the first supervisor stops, the first windows go, a new toolbar comes.
    auto site = BandSite::Make(frame_, browser_);
    ASSERT_EQ(S_OK, first->SetSite(static_cast<IOleWindow*>(site.Get())));
    EXPECT_EQ(1, helpers_.supervisors[0]->stops);
    EXPECT_FALSE(IsWindow(firstToolbar));
    ICONINFO icon{};
    EXPECT_FALSE(GetIconInfo(searchIcon, &icon)) << "the search icon goes with its window";
    HWND secondToolbar = nullptr;
    first->GetWindow(&secondToolbar);
    EXPECT_TRUE(IsDropTarget(secondToolbar));

    auto second = SitedBand();
    EXPECT_EQ(static_cast<IStockBar*>(second.Get()), CStockBar::ActiveBar().Get());
    // Removing the site of a band that is no longer active leaves the active one.
    ASSERT_EQ(S_OK, first->SetSite(nullptr));
    EXPECT_FALSE(IsDropTarget(secondToolbar));
    EXPECT_EQ(static_cast<IStockBar*>(second.Get()), CStockBar::ActiveBar().Get());
    ASSERT_EQ(S_OK, second->SetSite(nullptr));
    EXPECT_EQ(nullptr, CStockBar::ActiveBar().Get());

    // A site without a browser fails and leaves no drop target behind.
    auto broken = BandSite::Make(frame_, BrowserPtr<BrowserWebBrowser>());
    auto band = CStockBar::Make();
    EXPECT_EQ(E_FAIL, band->SetSite(static_cast<IOleWindow*>(broken.Get())));
    HWND brokenToolbar = nullptr;
    band->GetWindow(&brokenToolbar);
    EXPECT_FALSE(IsDropTarget(brokenToolbar));
    EXPECT_EQ(nullptr, CStockBar::ActiveBar().Get());
    band->SetSite(nullptr);

    // A site that fails late (a supervisor class that cannot be made) leaves
    // nothing behind: no window, and no reference to the band but the caller's.
    helpers_.supervisorFailure = CO_E_SERVER_EXEC_FAILURE;
    auto late = BandSite::Make(frame_, browser_);
    EXPECT_EQ(E_FAIL, band->SetSite(static_cast<IOleWindow*>(late.Get())));
    band->GetWindow(&brokenToolbar);
    EXPECT_EQ(nullptr, brokenToolbar);
    EXPECT_EQ(nullptr, CStockBar::ActiveBar().Get());
    band->AddRef();
    EXPECT_EQ(1u, band->Release());
}

TEST_F(BandTest, BandInfoAndOptionReadersAnswerFromTheSettings)
{
    auto band = SitedBand();
    DESKBANDINFO info{};
    info.dwMask = DBIM_BKCOLOR;
    ASSERT_EQ(S_OK, band->GetBandInfo(7, DBIF_VIEWMODE_NORMAL, &info));
    EXPECT_EQ(0u, info.dwMask);
    info.dwMask = DBIM_MINSIZE | DBIM_ACTUAL | DBIM_MAXSIZE | DBIM_TITLE;
    info.ptActual = {-5, -5};
    ASSERT_EQ(S_OK, band->GetBandInfo(7, DBIF_VIEWMODE_NORMAL, &info));
    EXPECT_GT(info.ptMinSize.x, 300);
    EXPECT_EQ(22, info.ptMinSize.y);
    EXPECT_EQ(info.ptMinSize.x, info.ptActual.x);
    EXPECT_EQ(-1, info.ptMaxSize.y);
    EXPECT_EQ(E_POINTER, band->GetBandInfo(7, 0, nullptr));

    BOOL flag = 5;
    EXPECT_EQ(S_OK, band->UseThumbnail(&flag));
    EXPECT_EQ(VARIANT_TRUE, flag);
    EXPECT_EQ(S_OK, band->UseForum1Code(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    SettingsStore().SetLinkStyleId(kLinkStyleForum2);
    LinkStyleEnum style = lsHTML;
    EXPECT_EQ(S_OK, band->GetLinkStyle(&style));
    EXPECT_EQ(lsForum2, style);

    // Resizing off: the format is left as the caller passed it.
    Bstr untouched(L"caller's");
    BSTR format = untouched.Get();
    BOOL resize = 5, isPublic = 5;
    VARIANT removeSizeBar;
    V_VT(&removeSizeBar) = VT_I4;  // garbage to the band: never cleared
    ASSERT_EQ(S_OK, band->GetOptions(&resize, &format, &isPublic, &removeSizeBar));
    EXPECT_EQ(VARIANT_FALSE, resize);
    EXPECT_EQ(untouched.Get(), format);
    EXPECT_EQ(VARIANT_TRUE, isPublic);
    EXPECT_EQ(VT_BOOL, V_VT(&removeSizeBar));
    // Resizing on with a choice out of range: the 320x240 label.
    SettingsStore().SetResize(true);
    SettingsStore().WriteNumber(L"ResizeTo", 5);
    Bstr label;
    ASSERT_EQ(S_OK, band->GetOptions(&resize, label.Out(), &isPublic, &removeSizeBar));
    EXPECT_EQ(VARIANT_TRUE, resize);
    EXPECT_STREQ(L"320x240 (for websites and email)", label.Text());
    EXPECT_EQ(E_POINTER, band->GetOptions(&resize, nullptr, &isPublic, &removeSizeBar));
}

TEST_F(BandTest, LoginStateDragCountAndHistoryReachTheToolbar)
{
    SettingsStore().SetLogged(true);
    auto band = SitedBand();
    ShowToolbar(band.Get());
    CVPToolbar& toolbar = band->Toolbar();
    EXPECT_TRUE(toolbar.IsButtonHidden(ID_BUTTON_LOGIN));
    EXPECT_FALSE(toolbar.IsButtonHidden(ID_BUTTON_LOGOUT));
    // Only VARIANT_TRUE means logged in.
    ASSERT_EQ(S_OK, band->EnableMyImages(1));
    EXPECT_FALSE(toolbar.IsButtonHidden(ID_BUTTON_LOGIN));
    EXPECT_TRUE(toolbar.IsButtonHidden(ID_BUTTON_LOGOUT));
    EXPECT_FALSE(toolbar.IsButtonEnabled(ID_BUTTON_MY_IMAGES));
    EXPECT_FALSE(toolbar.IsButtonEnabled(ID_BUTTON_MY_VIDEOS));
    ASSERT_EQ(S_OK, band->EnableMyImages(VARIANT_TRUE));
    EXPECT_TRUE(toolbar.IsButtonEnabled(ID_BUTTON_MY_IMAGES));

    band->DecrementDragAndDrop();
    EXPECT_TRUE(toolbar.IsButtonHidden(ID_BUTTON_DROP_AVAILABLE));
    band->IncrementDragAndDrop();
    EXPECT_TRUE(toolbar.IsButtonHidden(ID_BUTTON_DROP_AVAILABLE));
    band->IncrementDragAndDrop();
    EXPECT_FALSE(toolbar.IsButtonHidden(ID_BUTTON_DROP_AVAILABLE));
    EXPECT_TRUE(toolbar.IsButtonHidden(ID_BUTTON_DROP_UNAVAILABLE));

    // A record address the product did not lend is refused; the toolbar
    // target's records arrive.
    CUploadResult foreign = Result(L"foreign.jpg");
    EXPECT_EQ(E_INVALIDARG, band->AddHistory(reinterpret_cast<LONG_PTR>(&foreign)));
    EXPECT_EQ(E_INVALIDARG, band->AddHistory(0x1234));
    CToolbarImageTarget target(band.Get());
    target.OnItemUploaded(Result(L"lent.jpg"));
    ASSERT_EQ(1u, toolbar.History().size());
    EXPECT_EQ(L"lent.jpg", *toolbar.History()[0].name);
    EXPECT_EQ(L"lent.jpg", toolbar.PasteToolTip());
    EXPECT_TRUE(toolbar.IsButtonEnabled(ID_BUTTON_PASTE));
}

TEST_F(BandTest, DropsAnswerCopyAndRunTheHandlerAfterDropReturns)
{
    auto band = SitedBand();
    HWND toolbar = ShowToolbar(band.Get());
    auto data = DataObjectStub::Make<IDataObject>();
    DWORD effect = DROPEFFECT_MOVE;
    ASSERT_EQ(S_OK, band->DragEnter(data.Get(), 0, {0, 0}, &effect));
    EXPECT_EQ(DROPEFFECT_COPY, effect);
    effect = DROPEFFECT_MOVE;
    band->DragOver(0, {0, 0}, &effect);
    EXPECT_EQ(DROPEFFECT_COPY, effect);
    helpers_.dropHandler->supported = FALSE;
    band->DragEnter(data.Get(), 0, {0, 0}, &effect);
    band->DragOver(0, {0, 0}, &effect);
    EXPECT_EQ(DROPEFFECT_NONE, effect);

    RECT slideshow{};
    ASSERT_TRUE(SendMessageW(toolbar, TB_GETRECT, ID_BUTTON_SLIDESHOW, reinterpret_cast<LPARAM>(&slideshow)));
    POINT center{(slideshow.left + slideshow.right) / 2, (slideshow.top + slideshow.bottom) / 2};
    ClientToScreen(toolbar, &center);
    effect = DROPEFFECT_MOVE;
    ASSERT_EQ(S_OK, band->Drop(data.Get(), 0, {center.x, center.y}, &effect));
    EXPECT_EQ(DROPEFFECT_COPY, effect);
    EXPECT_TRUE(helpers_.dropHandler->slideShow);
    EXPECT_EQ(static_cast<IStockBar*>(band.Get()), helpers_.dropHandler->bar.Get());
    EXPECT_EQ(0, helpers_.dropHandler->drops);
    PumpMessages();
    EXPECT_EQ(1, helpers_.dropHandler->drops);

    POINT elsewhere{2, 2};
    ClientToScreen(toolbar, &elsewhere);
    ASSERT_EQ(S_OK, band->Drop(data.Get(), 0, {elsewhere.x, elsewhere.y}, &effect));
    EXPECT_FALSE(helpers_.dropHandler->slideShow);
    PumpMessages();
    EXPECT_EQ(2, helpers_.dropHandler->drops);

    // A drop whose window is destroyed before it runs is dropped with the
    // window and keeps no reference to the band.
    band->AddRef();
    const ULONG references = band->Release();
    ASSERT_EQ(S_OK, band->Drop(data.Get(), 0, {elsewhere.x, elsewhere.y}, &effect));
    HWND reflection = FindWindowExW(frame_, nullptr, CReflectionWnd::ClassName(), nullptr);
    ASSERT_NE(nullptr, reflection);
    DestroyWindow(reflection);
    PumpMessages();
    EXPECT_EQ(2, helpers_.dropHandler->drops);
    band->AddRef();
    EXPECT_EQ(references, band->Release());

    // A band the browser lets go during the drop's dialogs lives until the drop is done.
    auto lone = CStockBar::Make();
    auto site = BandSite::Make(frame_, browser_);
    ASSERT_EQ(S_OK, lone->SetSite(static_cast<IOleWindow*>(site.Get())));
    ASSERT_EQ(S_OK, lone->Drop(data.Get(), 0, {elsewhere.x, elsewhere.y}, &effect));
    const ULONG objects = ComModule::Instance().ObjectCount();
    helpers_.dropHandler->whileDropping = [&] {
        lone->SetSite(nullptr);
        lone.Reset();
        helpers_.dropHandler->bar.Reset();
    };
    PumpMessages();
    EXPECT_EQ(3, helpers_.dropHandler->drops);
    helpers_.dropHandler->whileDropping = nullptr;
    EXPECT_EQ(objects - 1, ComModule::Instance().ObjectCount()) << "the band is gone after its drop";
}

}  // namespace
}  // namespace vptest

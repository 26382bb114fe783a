// A browser frame for band tests: a top-level container window, the browser
// double, the band-site double, and doubles of the band's helpers (navigator
// supervisor, drop handler) that record what the band does with them.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VellumpostToolbar_h.h"
#include "browser/StockBar.h"
#include "common/ComObject.h"
#include "common/TypeLibDispatch.h"
#include "support/BandSite.h"
#include "support/BrowserDoubles.h"

namespace vptest {

class SupervisorDouble : public ComObject<SupervisorDouble, TypeLibDispatch<INavigatorSupervisor>> {
public:
    int starts = 0, stops = 0;
    STDMETHODIMP Start(IDispatch* browser, IStockBar* bar) override
    {
        ++starts;
        return browser && bar ? S_OK : E_INVALIDARG;
    }
    STDMETHODIMP Stop() override
    {
        ++stops;
        return S_OK;
    }
    STDMETHODIMP DocumentComplete(IDispatch*, VARIANT*) override { return E_NOTIMPL; }
};

class DropHandlerDouble : public ComObject<DropHandlerDouble, TypeLibDispatch<IDragAndDropHandler>> {
public:
    BOOL supported = TRUE;
    BOOL slideShow = FALSE;
    int drops = 0;
    std::function<void()> whileDropping;  // runs inside OnDrop, as the drop's dialogs would
    Microsoft::WRL::ComPtr<IStockBar> bar;
    Microsoft::WRL::ComPtr<IDispatch> browser;

    STDMETHODIMP Attach(IDispatch*, IStockBar*, BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP AttachAndParse(IDispatch*, IStockBar*, BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP OnDrop(IUnknown* data) override
    {
        ++drops;
        if (whileDropping) whileDropping();
        return data ? S_OK : E_POINTER;
    }
    STDMETHODIMP IsSupported(IUnknown*, BOOL* result) override
    {
        *result = supported;
        return S_OK;
    }
    STDMETHODIMP get_StockBar(IStockBar**) override { return E_NOTIMPL; }
    STDMETHODIMP put_StockBar(IStockBar* value) override
    {
        bar = value;
        return S_OK;
    }
    STDMETHODIMP get_Browser(IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP put_Browser(IDispatch* value) override
    {
        browser = value;
        return S_OK;
    }
    STDMETHODIMP get_SlideShow(BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_SlideShow(BOOL value) override
    {
        slideShow = value;
        return S_OK;
    }
    STDMETHODIMP put_CallerHWND(OLE_HANDLE) override { return S_OK; }
};

// The helpers the band creates in the current test.
struct BandHelpers {
    std::vector<Microsoft::WRL::ComPtr<SupervisorDouble>> supervisors;
    HRESULT supervisorFailure = S_OK;  // a failure to answer supervisor creations with
    Microsoft::WRL::ComPtr<DropHandlerDouble> dropHandler = DropHandlerDouble::Make();
    static BandHelpers*& Current()
    {
        static BandHelpers* current = nullptr;
        return current;
    }
    static HRESULT Create(REFCLSID clsid, REFIID iid, void** object)
    {
        if (IsEqualCLSID(clsid, CLSID_NavigatorSupervisor)) {
            if (FAILED(Current()->supervisorFailure)) return Current()->supervisorFailure;
            auto supervisor = SupervisorDouble::Make();
            Current()->supervisors.push_back(supervisor);
            return supervisor->QueryInterface(iid, object);
        }
        if (IsEqualCLSID(clsid, CLSID_DragAndDropHandler)) return Current()->dropHandler->QueryInterface(iid, object);
        return REGDB_E_CLASSNOTREG;
    }
};

// Processes what is queued for this thread's windows.
inline void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Opens a drop-down menu as a click on the button's arrow does and hands it
// to inspect while it is open.
inline void WithMenu(CVPToolbar& toolbar, UINT button, const std::function<void(HMENU)>& inspect)
{
    bool seen = false;
    toolbar.SetMenuObserver([&](HMENU menu) {
        seen = true;
        inspect(menu);
        EndMenu();
    });
    NMTOOLBARW notify{};
    notify.hdr.hwndFrom = toolbar.Window();
    notify.hdr.code = TBN_DROPDOWN;
    notify.iItem = static_cast<int>(button);
    SendMessageW(toolbar.Window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
    toolbar.SetMenuObserver(nullptr);
    EXPECT_TRUE(seen) << "menu of " << button << " did not open";
}

class BandTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        BandHelpers::Current() = &helpers_;
        CStockBar::SetHelperFactory(&BandHelpers::Create);
        WNDCLASSW wc{};
        wc.lpfnWndProc = &DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VpBandTestFrame";
        RegisterClassW(&wc);
        frame_ = CreateWindowExW(0, wc.lpszClassName, L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1100, 120,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(nullptr, frame_);
        browser_->window = frame_;
    }
    void TearDown() override
    {
        for (auto& band : bands_) band->SetSite(nullptr);
        bands_.clear();
        PumpMessages();
        DestroyWindow(frame_);
        CStockBar::SetHelperFactory(nullptr);
        BandHelpers::Current() = nullptr;
        OleUninitialize();
    }

    // A new band sited in the frame; the test keeps it until its end.
    Microsoft::WRL::ComPtr<CStockBar> SitedBand()
    {
        auto band = CStockBar::Make();
        auto site = BandSite::Make(frame_, browser_);
        EXPECT_EQ(S_OK, band->SetSite(static_cast<IOleWindow*>(site.Get())));
        sites_.push_back(site);
        bands_.push_back(band);
        return band;
    }
    // The band's toolbar as the browser shows it: moved into the frame and painted.
    HWND ShowToolbar(CStockBar* band)
    {
        HWND toolbar = nullptr;
        band->GetWindow(&toolbar);
        SetParent(toolbar, frame_);
        band->ShowDW(TRUE);
        UpdateWindow(toolbar);
        PumpMessages();
        return toolbar;
    }

    BandHelpers helpers_;
    HWND frame_ = nullptr;
    BrowserPtr<BrowserWebBrowser> browser_ = BrowserWebBrowser::Create();
    std::vector<Microsoft::WRL::ComPtr<BandSite>> sites_;
    std::vector<Microsoft::WRL::ComPtr<CStockBar>> bands_;
};

}  // namespace vptest

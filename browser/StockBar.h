// The toolbar band: the COM object the browser loads once per frame window. It
// builds the reflection and toolbar windows in the band site, accepts files
// dropped on the toolbar, answers the user's upload options through the
// scriptable IStockBar and is the process-wide active bar for the menus.
#pragma once

#include <windows.h>
#include <objsafe.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <exdisp.h>
#include <wrl/client.h>

#include "VellumpostToolbar_h.h"
#include "browser/ReflectionWnd.h"
#include "browser/SearchEdit.h"
#include "common/ClassCreator.h"
#include "common/ComObject.h"
#include "common/LogWriter.h"
#include "common/TypeLibDispatch.h"
#include "engine/FileUploader.h"  // also declares IObjectSafety's identifier for QueryInterface

class CStockBar : public ComObject<CStockBar, IDeskBand, ComAlias<IDockingWindow, IDeskBand>,
                                   ComAlias<IOleWindow, IDeskBand>, IObjectWithSite, IInputObject, IDropTarget,
                                   TypeLibDispatch<IStockBar>, IObjectSafety>,
                  public BandFocusSink {
public:
    // Creates the helpers of a band: the navigator supervisor of its browser
    // and the drop handler. The default creates the registered classes; tests
    // put doubles in to watch starts, stops and drops. Null restores it.
    using HelperFactory = ClassCreator::Function;
    static void SetHelperFactory(HelperFactory factory);

    // The process-wide active bar, with a reference for the caller (may be null).
    static Microsoft::WRL::ComPtr<IStockBar> ActiveBar();
    // The active bar as callable from the calling thread's apartment (a proxy
    // when the bar lives on another thread); null without an active bar.
    static Microsoft::WRL::ComPtr<IStockBar> ActiveBarForThisThread();

    CStockBar();

    // IOleWindow, IDockingWindow, IDeskBand
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;
    STDMETHODIMP ShowDW(BOOL show) override;
    STDMETHODIMP CloseDW(DWORD reserved) override;
    STDMETHODIMP ResizeBorderDW(LPCRECT border, IUnknown* site, BOOL reserved) override;
    STDMETHODIMP GetBandInfo(DWORD bandId, DWORD viewMode, DESKBANDINFO* info) override;

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID iid, void** site) override;

    // IInputObject
    STDMETHODIMP UIActivateIO(BOOL activate, MSG* msg) override;
    STDMETHODIMP HasFocusIO() override;
    STDMETHODIMP TranslateAcceleratorIO(MSG* msg) override;

    // IDropTarget
    STDMETHODIMP DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;
    STDMETHODIMP DragOver(DWORD keys, POINTL pt, DWORD* effect) override;
    STDMETHODIMP DragLeave() override;
    STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) override;

    // IStockBar
    STDMETHODIMP IncrementDragAndDrop() override;
    STDMETHODIMP DecrementDragAndDrop() override;
    STDMETHODIMP EnableMyImages(BOOL enabled) override;
    STDMETHODIMP UseThumbnail(BOOL* result) override;
    STDMETHODIMP UseHTMLCode(BOOL* result) override;
    STDMETHODIMP UseForum1Code(BOOL* result) override;
    STDMETHODIMP UseForum2Code(BOOL* result) override;
    STDMETHODIMP UseFriendLink(BOOL* result) override;
    STDMETHODIMP AddHistory(LONG_PTR record) override;
    STDMETHODIMP SetPasteData(BSTR data, BSTR toolTip) override;
    STDMETHODIMP GetOptions(BOOL* resize, BSTR* format, BOOL* isPublic, VARIANT* removeSizeBar) override;
    STDMETHODIMP GetLinkStyle(LinkStyleEnum* style) override;
    STDMETHODIMP Upload(VARIANT destination) override;
    STDMETHODIMP SlideShow(VARIANT destination) override;
    STDMETHODIMP ScreenShot(VARIANT destination) override;

    // IObjectSafety
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) override;

    // BandFocusSink
    void OnBandFocus(bool focused) override;

    CVPToolbar& Toolbar() { return reflection_.Toolbar(); }

protected:
    ~CStockBar() override;

private:
    HRESULT BuildSite(IUnknown* site);
    void UnsetSite();
    static void SetActiveBar(IStockBar* bar, IStockBar* onlyIfActive = nullptr);
    HRESULT AnswerFlag(BOOL* result, bool flag);
    HRESULT RunCommand(VARIANT destination, HRESULT (CVPToolbar::*command)(IDispatch*));
    Microsoft::WRL::ComPtr<IDragAndDropHandler> CreateDropHandler();

    LogWriter log_{"CStockBar"};
    Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
    Microsoft::WRL::ComPtr<IInputObjectSite> site_;
    DWORD bandId_ = 0;
    DWORD viewMode_ = 0;
    BOOL shown_ = FALSE;
    BOOL contextHelp_ = FALSE;
    LONG dragAndDropCount_ = 0;
    HWND parent_ = nullptr;
    CReflectionWnd reflection_;
    Microsoft::WRL::ComPtr<INavigatorSupervisor> supervisor_;
    bool dropTargetRegistered_ = false;
    DWORD dragEffect_ = DROPEFFECT_NONE;
    DWORD safety_ = 0;
};

// The visible toolbar: a common-controls toolbar in the browser's toolbar
// area with the product button and its options menu, the text-area indicator,
// the upload, slideshow, screenshot, gallery, paste and login buttons and a
// search panel. It keeps the user's upload options and the paste history and
// starts uploads through the scriptable uploader.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

#include "VellumpostToolbar_h.h"
#include "browser/SearchEdit.h"
#include "common/Bstr.h"
#include "common/LogWriter.h"
#include "common/SettingsStore.h"
#include "dialogs/DialogScript.h"
#include "browser/OutboxMenu.h"
#include "engine/UploadHistory.h"

// Command identifiers of the buttons and private messages of the window.
enum ToolbarCommand : UINT {
    ID_BUTTON_DROP_AVAILABLE = 300,
    ID_BUTTON_DROP_UNAVAILABLE = 301,
    ID_BUTTON_UPLOAD = 302,
    ID_BUTTON_MY_IMAGES = 303,
    ID_BUTTON_PRODUCT = 304,
    ID_BUTTON_SLIDESHOW = 305,
    ID_BUTTON_SCREENSHOT = 306,
    ID_BUTTON_LOGIN = 307,
    ID_BUTTON_LOGOUT = 308,
    ID_UPLOAD_CLIPBOARD = CSearchEdit::ID_UPLOAD_CLIPBOARD,
    ID_BUTTON_MY_VIDEOS = 311,
    ID_BUTTON_OUTBOX = 312,
    ID_BUTTON_SEPARATOR = 333,
    ID_BUTTON_SEARCH = 334,
    ID_BUTTON_PASTE = 38888,
    ID_PASTE_HISTORY_FIRST = 38889,
};

enum ToolbarMessage : UINT {
    WM_TOOLBAR_REFRESH_MY_PAGES = 1813,
    WM_TOOLBAR_SEARCH = CSearchEdit::WM_TOOLBAR_SEARCH,
    // Posted by the outbox's sender (WM_TOOLBAR_OUTBOX_SENT of the engine),
    // wParam: how many waiting uploads it sent.
    WM_TOOLBAR_OUTBOX_SENT_NOTICE = 1814,
};

class CVPToolbar {
public:
    static const int kHeight = 22;
    static const UINT_PTR TIMER_LOGIN_POLL = 7777;
    static const UINT_PTR TIMER_OUTBOX_REFRESH = 7778;
    static const UINT_PTR TIMER_OUTBOX_NOTICE = 7779;

    CVPToolbar();
    ~CVPToolbar();
    CVPToolbar(const CVPToolbar&) = delete;
    CVPToolbar& operator=(const CVPToolbar&) = delete;

    // The window class name; other windows find toolbars by its first 16 characters.
    static const wchar_t* ClassName();
    // The window class and the icons every toolbar of the process shares: made
    // when the library is loaded, the image list destroyed when it is unloaded.
    static void InitializeShared();
    static void DestroyShared();

    // Creates the window as a child of parent; false on failure.
    bool Create(HWND parent);
    void Destroy();
    HWND Window() const { return window_; }
    CSearchEdit& SearchBox() { return search_; }

    // Messages of the window and those its controls send to their parent;
    // true when handled (result then holds the answer).
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    void SetBrowser(IWebBrowser2* browser) { browser_ = browser; }
    void SetBar(IStockBar* bar) { bar_ = bar; }
    IStockBar* Bar() const { return bar_.Get(); }

    // The width the band needs to show every visible button and the search panel.
    int IdealWidth();
    void SetDragAndDropAvailable(bool available);
    void SetLoggedIn(bool loggedIn);
    bool LoggedIn() const { return loggedIn_; }
    void AddHistory(const CUploadResult& result);
    void SetPasteData(const wchar_t* data, const wchar_t* toolTip);
    const std::vector<CUploadResult>& History() const { return history_.Items(); }
    const std::wstring& PasteToolTip() const { return pasteToolTip_; }

    // The user's options: the cached values once the settings are loaded, the
    // store before that.
    DWORD PictureSize() const;
    DWORD LinkStyleId() const;
    bool Resize() const;
    DWORD ResizeTo() const;
    bool Public() const;
    bool RemoveSizeBar() const;
    // Label of a resize choice (a command 37783..37791; others give the 320x240 label).
    static std::wstring ResizeLabel(DWORD resizeTo);

    // The toolbar's upload commands; destination: a page's script object or null.
    HRESULT Upload(IDispatch* destination);
    HRESULT SlideShow(IDispatch* destination);
    HRESULT ScreenShot(IDispatch* destination);
    // Uploads what the clipboard holds with the user's options.
    HRESULT UploadFromClipboard();

    // Screen rectangle of a button; false when it is not on the toolbar.
    bool ButtonScreenRect(UINT command, RECT& rect) const;
    bool IsButtonHidden(UINT command) const;
    bool IsButtonEnabled(UINT command) const;

    // Drives the upload file dialog without a person (tests, the main job).
    void SetUploadDialogScript(DialogScript script) { uploadScript_ = std::move(script); }
    // Called with each drop-down menu while it is open (screenshots, tests).
    using MenuObserver = std::function<void(HMENU menu)>;
    void SetMenuObserver(MenuObserver observer) { menuObserver_ = std::move(observer); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void AddButtons();
    void CreateSearchPanel();
    void LayOut();
    void LoadSettings();
    void RefreshButtons();
    void ShowButton(UINT command, bool show);
    void RereadLoggedIn();
    bool OnCommand(UINT command);
    void OnOptionCommand(UINT command);
    void ToggleButton(UINT command);
    LRESULT OnNotify(NMHDR* header);
    void ShowProductMenu();
    void ShowPasteMenu();
    void ShowUploadMenu();
    UINT TrackMenu(HMENU menu, UINT button);
    void Paste(UINT command);
    void InsertIntoPage(std::wstring text);
    void Navigate(const std::wstring& url);
    void Search();
    void RefreshMyPages(WPARAM which);
    void ReloadHistory();
    // The waiting-uploads button: the count (hidden at 0) or, for a few
    // seconds after a pass sent some, the notice.
    void RefreshOutbox();
    void ShowOutboxMenu();
    void ShowOutboxNotice(int sent);
    // Reloads the history; Paste is enabled exactly when it holds a link.
    void RefreshPasteButton();
    // A new uploader with destination, toolbar, caller window and action set.
    HRESULT PrepareUploader(IDispatch* destination, LONG action,
                            Microsoft::WRL::ComPtr<IInnerFileUploader>& inner);

    LogWriter log_{"CVPToolbar"};
    SettingsStore store_;
    DWORD pictureSize_ = kImagesSizeThumbnail;
    DWORD linkStyle_ = kLinkStyleHtml;
    bool resize_ = false;
    DWORD resizeTo_ = kResizeToDefault;
    bool public_ = true;
    bool removeSizeBar_ = true;
    ToolbarHistory history_;
    Bstr pasteText_;
    std::wstring pasteToolTip_;
    bool dragAndDropAvailable_ = false;
    bool loggedIn_ = true;
    Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
    Microsoft::WRL::ComPtr<IStockBar> bar_;
    HWND window_ = nullptr;
    HWND searchLabel_ = nullptr;
    CSearchEdit search_;
    HWND searchButton_ = nullptr;
    // The search button's icon, loaded for this window and destroyed with it.
    HICON searchIcon_ = nullptr;
    // The text a tooltip is shown with; the tooltip reads it after the notification returns.
    std::wstring toolTipText_;
    bool settingsPending_ = true;
    UINT_PTR pollTimer_ = 0;
    OutboxMenu outboxMenu_;
    bool outboxNoticeShown_ = false;
    DialogScript uploadScript_;
    MenuObserver menuObserver_;
    HMENU openMenu_ = nullptr;
};

// The toolbar window: its window class (a superclass of the common toolbar),
// buttons and search panel, the options menu and paste menu, the settings it
// caches, and the commands that navigate the browser or start uploads.
#include "browser/VPToolbar.h"

#include "browser/ClipboardUpload.h"

#include <commctrl.h>
#include <mshtml.h>

#include <cwchar>
#include <mutex>

#include "common/HostCheck.h"
#include "common/ModuleInstance.h"
#include "common/ServiceUrl.h"
#include "common/TextConvert.h"
#include "common/Variant.h"
#include "common/VariantArray.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/FilesForUploadDlg.h"
#include "dialogs/SizeLists.h"
#include "engine/ActionStatistics.h"
#include "engine/FileUploader.h"
#include "engine/JSUploadParams.h"
#include "engine/LinkFormat.h"
#include "engine/ScreenCapture.h"
#include "resources/resource.h"

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kObjectProp[] = L"VpToolbarObject";
const int kMinWidth = 265;

// Menu commands of the options menu.
enum MenuCommand : UINT {
    ID_ABOUT = 37775,
    ID_RESIZE_NONE = 37782,
    ID_PUBLIC = 37793,
    ID_PRIVATE = 37794,
    ID_SIZE_BAR_KEEP = 37795,
    ID_SIZE_BAR_REMOVE = 37796,
    ID_TOGGLE_INDICATOR = 37815,
    ID_TOGGLE_UPLOAD = 37817,
    ID_TOGGLE_SLIDESHOW = 37819,
    ID_TOGGLE_SCREENSHOT = 37820,
    ID_TOGGLE_MY_IMAGES = 37821,
    ID_TOGGLE_MY_VIDEOS = 37822,
    ID_TOGGLE_PASTE = 37824,
    ID_TOGGLE_LOGIN = 37825,
    ID_TOGGLE_SEARCH = 37826,
    ID_RETRY_NONE = 37840,
    ID_RETRY_ONCE = 37841,
    ID_RETRY_TWICE = 37842,
    ID_RETRY_ALWAYS = 37843,
    ID_TOOLTIPS_ON = 37846,
    ID_TOOLTIPS_OFF = 37847,
    ID_SCREENSHOT_DESKTOP = 37849,
    ID_SCREENSHOT_BROWSER = 37851,
};

// Icon resources, one per image index.
const UINT kIcons[] = {IDI_UPLOAD,     IDI_DROP_AVAILABLE, IDI_DROP_UNAVAILABLE, IDI_UPLOAD_BUTTON, IDI_UPLOAD_BUTTON,
                       IDI_SCREENSHOT, IDI_MY_IMAGES,      IDI_MY_VIDEOS,        IDI_PASTE,         IDI_LOGIN,
                       IDI_LOGOUT,     IDI_SPARE,          IDI_SPARE};

struct ButtonRow {
    UINT command;
    int image;
    BYTE style;
    UINT text;  // string id; 0: none
    const wchar_t* fallback;
};

const ButtonRow kButtons[] = {
    {ID_BUTTON_PRODUCT, I_IMAGENONE, BTNS_SHOWTEXT | BTNS_AUTOSIZE | BTNS_DROPDOWN, IDS_PRODUCT_NAME, L"Vellumpost"},
    {ID_BUTTON_DROP_AVAILABLE, 1, BTNS_AUTOSIZE, 0, nullptr},
    {ID_BUTTON_DROP_UNAVAILABLE, 2, BTNS_AUTOSIZE, 0, nullptr},
    {ID_BUTTON_OUTBOX, I_IMAGENONE, BTNS_SHOWTEXT | BTNS_AUTOSIZE | BTNS_WHOLEDROPDOWN, IDS_OUTBOX_COUNT, L"waiting"},
    {ID_BUTTON_UPLOAD, 3, BTNS_SHOWTEXT | BTNS_AUTOSIZE | BTNS_DROPDOWN, IDS_BUTTON_UPLOAD, L"Upload"},
    {ID_BUTTON_SLIDESHOW, 4, BTNS_SHOWTEXT | BTNS_AUTOSIZE, IDS_BUTTON_SLIDESHOW, L"Slideshow"},
    {ID_BUTTON_SCREENSHOT, 5, BTNS_SHOWTEXT | BTNS_AUTOSIZE, IDS_BUTTON_SCREENSHOT, L"Screenshot"},
    {ID_BUTTON_MY_IMAGES, 6, BTNS_SHOWTEXT | BTNS_AUTOSIZE, IDS_BUTTON_MY_IMAGES, L"My Images"},
    {ID_BUTTON_MY_VIDEOS, 7, BTNS_SHOWTEXT | BTNS_AUTOSIZE, IDS_BUTTON_MY_VIDEOS, L"My Videos"},
    {ID_BUTTON_PASTE, 8, BTNS_SHOWTEXT | BTNS_AUTOSIZE | BTNS_DROPDOWN, IDS_BUTTON_PASTE, L"Paste"},
    {ID_BUTTON_LOGIN, 9, BTNS_SHOWTEXT | BTNS_AUTOSIZE, IDS_BUTTON_LOGIN, L"Login"},
    {ID_BUTTON_LOGOUT, 10, BTNS_SHOWTEXT | BTNS_AUTOSIZE, IDS_BUTTON_LOGOUT, L"Logout"},
    {ID_BUTTON_SEPARATOR, 0, BTNS_SEP, 0, nullptr},
};

std::wstring Text(UINT id, const wchar_t* fallback)
{
    std::wstring text = LoadModuleString(id);
    return text.empty() && fallback ? std::wstring(fallback) : text;
}

WNDPROC g_baseProc = nullptr;

// The common toolbar class under this module's own name.
bool RegisterToolbarClass(WNDPROC proc)
{
    static bool registered = [proc] {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        if (!GetClassInfoExW(nullptr, TOOLBARCLASSNAMEW, &wc)) return false;
        g_baseProc = wc.lpfnWndProc;
        wc.lpfnWndProc = proc;
        wc.hInstance = ThisModule();
        wc.lpszClassName = CVPToolbar::ClassName();
        wc.style &= ~CS_GLOBALCLASS;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

// The shared image list of every toolbar of the module: made at process attach
// (or by the first toolbar), destroyed at process detach.
std::mutex g_imagesLock;
HIMAGELIST g_images = nullptr;

HIMAGELIST ToolbarImages()
{
    std::lock_guard<std::mutex> hold(g_imagesLock);
    if (g_images) return g_images;
    LogWriter log("CVPToolbar");
    g_images = ImageList_Create(16, 16, ILC_COLOR16 | ILC_MASK, 13, 1);
    if (!g_images) {
        log.Write("ERROR - Cannot create the image list");
        return nullptr;
    }
    for (UINT id : kIcons) {
        HICON icon =
            static_cast<HICON>(LoadImageW(ThisModule(), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        if (!icon) {
            log.Format("ERROR - Cannot load icon 0x%x", id);
            continue;
        }
        ImageList_AddIcon(g_images, icon);
        DestroyIcon(icon);
    }
    return g_images;
}

// Query text of an address: UTF-8, every byte outside the unreserved set as %XX.
std::wstring PercentEncode(const std::wstring& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::wstring out;
    for (unsigned char c : Narrow(text, CP_UTF8)) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            out += static_cast<wchar_t>(c);
        } else {
            out += L'%';
            out += static_cast<wchar_t>(kHex[c >> 4]);
            out += static_cast<wchar_t>(kHex[c & 15]);
        }
    }
    return out;
}

std::wstring WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], length + 1)));
    return text;
}

int WindowWidth(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect.right - rect.left;
}

void Check(HMENU menu, UINT command, bool checked = true)
{
    if (checked) CheckMenuItem(menu, command, MF_BYCOMMAND | MF_CHECKED);
}

}  // namespace

CVPToolbar::CVPToolbar() = default;

CVPToolbar::~CVPToolbar()
{
    Destroy();
}

const wchar_t* CVPToolbar::ClassName()
{
    static const std::wstring name = [] {
        wchar_t text[128];
        swprintf(text, 128, L"VELLUMPOSTTOOLBAR:0x%lx", GetTickCount());
        LogWriter("CVPToolbar").Write("Toolbar class name: ", text);
        return std::wstring(text);
    }();
    return name.c_str();
}

void CVPToolbar::InitializeShared()
{
    ClassName();
    RegisterToolbarClass(&CVPToolbar::WindowProc);
    ToolbarImages();
}

void CVPToolbar::DestroyShared()
{
    LogWriter log("CVPToolbar");
    log.Write("Destroying...");
    std::lock_guard<std::mutex> hold(g_imagesLock);
    if (g_images) ImageList_Destroy(g_images);
    g_images = nullptr;
    log.Write("Destroyed succsesssfully");
}

bool CVPToolbar::Create(HWND parent)
try {
    RECT rect{};
    GetClientRect(parent, &rect);
    rect.bottom = rect.top + kHeight;
    if (rect.right - rect.left < kMinWidth) rect.right = rect.left + kMinWidth;
    log_.Write("Creating...");
    if (!RegisterToolbarClass(&CVPToolbar::WindowProc)) {
        log_.Write("ERROR on creating window!");
        return false;
    }
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | CCS_TOP | CCS_NORESIZE |
                        CCS_NOPARENTALIGN | CCS_NODIVIDER | TBSTYLE_TOOLTIPS | TBSTYLE_WRAPABLE | TBSTYLE_FLAT |
                        TBSTYLE_LIST | TBSTYLE_CUSTOMERASE | TBSTYLE_TRANSPARENT;
    window_ = CreateWindowExW(0, ClassName(), L"", style, rect.left, rect.top, rect.right - rect.left,
                              rect.bottom - rect.top, parent, nullptr, ThisModule(), this);
    if (!window_) {
        log_.Write("ERROR on creating window!");
        return false;
    }
    log_.Format("Window has been created %s for %s. Initialization...", LogAddress(window_).c_str(),
                LogAddress(this).c_str());
    SendMessageW(window_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_MIXEDBUTTONS);
    SendMessageW(window_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(window_, TB_SETMAXTEXTROWS, 16, 0);
    log_.Format("Initialization image list for %s...", LogAddress(this).c_str());
    SendMessageW(window_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(ToolbarImages()));
    log_.Format("Adding buttons for %s...", LogAddress(this).c_str());
    AddButtons();
    CreateSearchPanel();
    RefreshOutbox();
    SetTimer(window_, TIMER_OUTBOX_REFRESH, 5000, nullptr);
    // A window made anew for a later site shows the state already loaded.
    if (!settingsPending_) {
        RefreshPasteButton();
        RefreshButtons();
    }
    log_.Format("Initialization %s done", LogAddress(this).c_str());
    return true;
} catch (...) {
    log_.Format("EXCEPTION on creation %s", LogAddress(this).c_str());
    return false;
}

void CVPToolbar::Destroy()
{
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
}

void CVPToolbar::AddButtons()
{
    const SettingsStore& s = store_;
    for (const ButtonRow& row : kButtons) {
        TBBUTTON button{};
        button.idCommand = static_cast<int>(row.command);
        button.iBitmap = row.image;
        button.fsStyle = row.style;
        button.fsState = TBSTATE_ENABLED;
        if (row.text) {
            const std::wstring text = Text(row.text, row.fallback);
            button.iString = SendMessageW(window_, TB_ADDSTRINGW, 0,
                                          reinterpret_cast<LPARAM>((text + L'\0').c_str()));
        } else {
            button.iString = -1;
        }
        bool hidden = false;
        switch (row.command) {
        case ID_BUTTON_DROP_AVAILABLE: hidden = true; break;
        case ID_BUTTON_OUTBOX: hidden = true; break;
        case ID_BUTTON_DROP_UNAVAILABLE: hidden = !s.TextAreaIndicator(); break;
        case ID_BUTTON_UPLOAD: hidden = !s.ButtonUpload(); break;
        case ID_BUTTON_SLIDESHOW: hidden = !s.ButtonSlideshow(); break;
        case ID_BUTTON_SCREENSHOT: hidden = !s.ButtonScreenshot(); break;
        case ID_BUTTON_MY_IMAGES: hidden = !s.ButtonMyImages(); break;
        case ID_BUTTON_MY_VIDEOS: hidden = !s.ButtonMyVideos(); break;
        case ID_BUTTON_PASTE: hidden = !s.ButtonPaste(); break;
        case ID_BUTTON_LOGIN: hidden = true; break;
        case ID_BUTTON_LOGOUT: hidden = !s.ButtonLogin(); break;
        default: break;
        }
        if (hidden) button.fsState |= TBSTATE_HIDDEN;
        SendMessageW(window_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
    }
}

void CVPToolbar::CreateSearchPanel()
{
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const std::wstring label = Text(IDS_SEARCH_LABEL, L"Search");
    SIZE size{};
    HDC dc = GetDC(window_);
    HGDIOBJ old = SelectObject(dc, font);
    GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
    const int x = 740;
    // As high as its text, so that the layout can centre it beside the box.
    searchLabel_ = CreateWindowExW(0, L"STATIC", label.c_str(), WS_CHILD, x, 0, size.cx, size.cy, window_, nullptr,
                                   ThisModule(), nullptr);
    if (searchLabel_) SendMessageW(searchLabel_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    RECT box{x + size.cx, 0, x + size.cx + 150, kHeight};
    search_.Create(window_, box, font);
    searchButton_ = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | BS_ICON | BS_CENTER | BS_FLAT, x + size.cx + 150,
                                    0, 22, kHeight, window_, reinterpret_cast<HMENU>(ID_BUTTON_SEARCH), ThisModule(),
                                    nullptr);
    if (searchButton_) {
        // A button does not destroy its image: the window's end does (WM_NCDESTROY).
        searchIcon_ = static_cast<HICON>(
            LoadImageW(ThisModule(), MAKEINTRESOURCEW(IDI_SEARCH), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        if (searchIcon_) SendMessageW(searchButton_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(searchIcon_));
    }
}

void CVPToolbar::LayOut()
{
    if (!window_ || !searchLabel_ || !search_.Window()) return;
    RECT item{}, client{};
    const LRESULT last = SendMessageW(window_, TB_COMMANDTOINDEX, ID_BUTTON_SEPARATOR, 0);
    SendMessageW(window_, TB_GETITEMRECT, static_cast<WPARAM>(last), reinterpret_cast<LPARAM>(&item));
    GetClientRect(window_, &client);
    const int height = client.bottom - client.top;
    int x = item.right + 4;
    RECT label{};
    GetWindowRect(searchLabel_, &label);
    const int labelWidth = label.right - label.left, labelHeight = label.bottom - label.top;
    MoveWindow(searchLabel_, x, (height - labelHeight) / 2, labelWidth, labelHeight, TRUE);
    x += labelWidth + 4;
    MoveWindow(search_.Window(), x, 0, 150, height, TRUE);
    if (searchButton_) {
        RECT button{};
        GetWindowRect(searchButton_, &button);
        const int w = button.right - button.left, h = button.bottom - button.top;
        MoveWindow(searchButton_, x + 154, (height - h) / 2, w, h, TRUE);
    }
}

LRESULT CALLBACK CVPToolbar::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetPropW(window, kObjectProp, create->lpCreateParams);
        }
        auto* toolbar = static_cast<CVPToolbar*>(GetPropW(window, kObjectProp));
        if (message == WM_NCDESTROY) {
            RemovePropW(window, kObjectProp);
            if (toolbar) {
                if (toolbar->pollTimer_) KillTimer(window, toolbar->pollTimer_);
                toolbar->pollTimer_ = 0;
                toolbar->window_ = nullptr;
                toolbar->searchButton_ = nullptr;
                if (toolbar->searchIcon_) DestroyIcon(toolbar->searchIcon_);
                toolbar->searchIcon_ = nullptr;
            }
        } else if (toolbar) {
            LRESULT result = 0;
            if (toolbar->HandleMessage(message, wParam, lParam, result)) return result;
        }
    } catch (...) {
        LogWriter("CVPToolbar").Format("EXCEPTION in WindowProc %s", LogAddress(window).c_str());
        return 0;
    }
    return CallWindowProcW(g_baseProc, window, message, wParam, lParam);
}

bool CVPToolbar::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_SIZE:
        LayOut();
        return false;
    case WM_PAINT:
        if (settingsPending_) LoadSettings();
        return false;
    case WM_SHOWWINDOW:
        if (!wParam && pollTimer_) {
            KillTimer(window_, pollTimer_);
            pollTimer_ = 0;
        }
        return false;
    case WM_TIMER:
        if (wParam == TIMER_OUTBOX_NOTICE) {
            KillTimer(window_, TIMER_OUTBOX_NOTICE);
            outboxNoticeShown_ = false;
        }
        if (wParam == TIMER_OUTBOX_REFRESH || wParam == TIMER_OUTBOX_NOTICE) {
            RefreshOutbox();
            return true;
        }
        if (wParam != TIMER_LOGIN_POLL) return false;
        RereadLoggedIn();
        return true;
    case WM_NOTIFY:
        if (!lParam) return false;
        result = OnNotify(reinterpret_cast<NMHDR*>(lParam));
        return true;
    case WM_COMMAND:
        if (HIWORD(wParam) == EN_SETFOCUS && reinterpret_cast<HWND>(lParam) == search_.Window()) {
            search_.OnSetFocus();
            return true;
        }
        if (HIWORD(wParam) != 0) return false;
        return OnCommand(LOWORD(wParam));
    case WM_ENTERIDLE:
        if (wParam == MSGF_MENU && menuObserver_ && openMenu_) {
            HMENU menu = openMenu_;
            openMenu_ = nullptr;  // once per opening
            menuObserver_(menu);
        }
        return false;
    case WM_TOOLBAR_REFRESH_MY_PAGES:
        RefreshMyPages(wParam);
        return true;
    case WM_TOOLBAR_SEARCH:
        Search();
        return true;
    case WM_TOOLBAR_OUTBOX_SENT_NOTICE:
        ShowOutboxNotice(static_cast<int>(wParam));
        return true;
    default:
        return false;
    }
}

void CVPToolbar::LoadSettings()
{
    settingsPending_ = false;
    loggedIn_ = store_.Logged();
    pictureSize_ = store_.ImagesSize();
    linkStyle_ = store_.LinkStyleId();
    resizeTo_ = store_.ResizeTo();
    resize_ = store_.Resize();
    public_ = store_.Public();
    removeSizeBar_ = store_.RemoveSizeBar();
    RefreshPasteButton();
    RefreshButtons();
    UpdateWindow(window_);
    InvalidateRect(window_, nullptr, TRUE);
    if (!pollTimer_) pollTimer_ = SetTimer(window_, TIMER_LOGIN_POLL, 15000, nullptr);
}

void CVPToolbar::ReloadHistory()
{
    SettingsStore store;
    UploadHistory history(store);
    history_.Load(history);
    if (!history_.Items().empty()) {
        const CUploadResult& newest = history_.Items().back();
        pasteToolTip_ = newest.name ? *newest.name : std::wstring();
    }
}

void CVPToolbar::RefreshPasteButton()
{
    ReloadHistory();
    SendMessageW(window_, TB_ENABLEBUTTON, ID_BUTTON_PASTE, MAKELONG(!history_.Items().empty(), 0));
}

void CVPToolbar::ShowButton(UINT command, bool show)
{
    SendMessageW(window_, TB_HIDEBUTTON, command, MAKELONG(!show, 0));
}

bool CVPToolbar::IsButtonHidden(UINT command) const
{
    return window_ && SendMessageW(window_, TB_ISBUTTONHIDDEN, command, 0) != 0;
}

bool CVPToolbar::IsButtonEnabled(UINT command) const
{
    return window_ && SendMessageW(window_, TB_ISBUTTONENABLED, command, 0) != 0;
}

void CVPToolbar::RefreshButtons()
{
    if (!window_) return;
    const SettingsStore& s = store_;
    const bool indicator = s.TextAreaIndicator();
    ShowButton(ID_BUTTON_DROP_AVAILABLE, indicator && dragAndDropAvailable_);
    ShowButton(ID_BUTTON_DROP_UNAVAILABLE, indicator && !dragAndDropAvailable_);
    ShowButton(ID_BUTTON_UPLOAD, s.ButtonUpload());
    ShowButton(ID_BUTTON_SLIDESHOW, s.ButtonSlideshow());
    ShowButton(ID_BUTTON_SCREENSHOT, s.ButtonScreenshot());
    ShowButton(ID_BUTTON_PASTE, s.ButtonPaste());
    const bool myImages = s.ButtonMyImages(), myVideos = s.ButtonMyVideos();
    ShowButton(ID_BUTTON_MY_IMAGES, myImages);
    ShowButton(ID_BUTTON_MY_VIDEOS, myVideos);
    if (myImages) SendMessageW(window_, TB_ENABLEBUTTON, ID_BUTTON_MY_IMAGES, MAKELONG(loggedIn_, 0));
    if (myVideos) SendMessageW(window_, TB_ENABLEBUTTON, ID_BUTTON_MY_VIDEOS, MAKELONG(loggedIn_, 0));
    const bool login = s.ButtonLogin();
    ShowButton(ID_BUTTON_LOGIN, login && !loggedIn_);
    ShowButton(ID_BUTTON_LOGOUT, login && loggedIn_);
    const int show = s.SearchPanel() ? SW_SHOW : SW_HIDE;
    for (HWND control : {searchLabel_, search_.Window(), searchButton_})
        if (control) ShowWindow(control, show);
    LayOut();
}

int CVPToolbar::IdealWidth()
{
    if (!window_) return kMinWidth;
    if (settingsPending_) RefreshButtons();
    int sum = 0;
    const int count = static_cast<int>(SendMessageW(window_, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button{};
        RECT rect{};
        if (!SendMessageW(window_, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button))) {
            sum = 950;
            break;
        }
        // A hidden button has no rectangle to ask for.
        if (button.fsState & TBSTATE_HIDDEN) continue;
        if (!SendMessageW(window_, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rect))) {
            sum = 950;
            break;
        }
        sum += rect.right - rect.left;
    }
    if (store_.SearchPanel() && searchLabel_ && search_.Window() && searchButton_)
        sum += WindowWidth(searchLabel_) + 4 + WindowWidth(search_.Window()) + 4 + WindowWidth(searchButton_) + 4;
    return sum + 4;
}

void CVPToolbar::SetDragAndDropAvailable(bool available)
{
    dragAndDropAvailable_ = available;
    RefreshButtons();
}

void CVPToolbar::SetLoggedIn(bool loggedIn)
{
    loggedIn_ = loggedIn;
    RefreshButtons();
}

void CVPToolbar::RereadLoggedIn()
{
    const bool logged = store_.Logged();
    if (logged != loggedIn_) SetLoggedIn(logged);
}

void CVPToolbar::AddHistory(const CUploadResult& result)
{
    SettingsStore store;
    UploadHistory history(store);
    // Adds through the store and reads the list again, so entries another
    // window or process added since the last load are kept.
    if (history_.Add(history, result) && window_)
        SendMessageW(window_, TB_ENABLEBUTTON, ID_BUTTON_PASTE, MAKELONG(TRUE, 0));
    pasteToolTip_ = result.name ? *result.name : std::wstring();
    pasteText_ = Bstr();
}

void CVPToolbar::SetPasteData(const wchar_t* data, const wchar_t* toolTip)
{
    pasteText_ = Bstr(data);
    pasteToolTip_ = toolTip ? toolTip : L"";
}

DWORD CVPToolbar::PictureSize() const
{
    return settingsPending_ ? store_.ImagesSize() : pictureSize_;
}
DWORD CVPToolbar::LinkStyleId() const
{
    return settingsPending_ ? store_.LinkStyleId() : linkStyle_;
}
bool CVPToolbar::Resize() const
{
    return settingsPending_ ? store_.Resize() : resize_;
}
DWORD CVPToolbar::ResizeTo() const
{
    return settingsPending_ ? store_.ResizeTo() : resizeTo_;
}
bool CVPToolbar::Public() const
{
    return settingsPending_ ? store_.Public() : public_;
}
bool CVPToolbar::RemoveSizeBar() const
{
    return settingsPending_ ? store_.RemoveSizeBar() : removeSizeBar_;
}

std::wstring CVPToolbar::ResizeLabel(DWORD resizeTo)
{
    const int index = resizeTo >= kResizeToFirst && resizeTo <= kResizeToLast
                          ? static_cast<int>(resizeTo - kResizeToFirst)
                          : static_cast<int>(kResizeToDefault - kResizeToFirst);
    return ListText(PictureSizeTexts(), index);
}

bool CVPToolbar::ButtonScreenRect(UINT command, RECT& rect) const
{
    if (!window_ || IsButtonHidden(command)) return false;
    if (!SendMessageW(window_, TB_GETRECT, command, reinterpret_cast<LPARAM>(&rect))) return false;
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return true;
}

bool CVPToolbar::OnCommand(UINT command)
{
    const bool refreshesLogin = (command >= 300 && command <= 334) ||
                                (command >= ID_ABOUT && command <= ID_SCREENSHOT_BROWSER &&
                                 !(command >= ID_RESIZE_NONE && command <= kResizeToLast) &&
                                 !(command >= ID_TOGGLE_INDICATOR && command <= ID_TOGGLE_SEARCH));
    if (refreshesLogin) RereadLoggedIn();
    switch (command) {
    case ID_BUTTON_DROP_AVAILABLE:
        return true;
    case ID_BUTTON_DROP_UNAVAILABLE: {
        // Re-scan the page for text areas.
        ComPtr<IWebBrowser2> browser = browser_;
        ComPtr<IStockBar> bar = bar_;
        ComPtr<IDragAndDropHandler> handler;
        BOOL attached = FALSE;
        if (browser && SUCCEEDED(CoCreateInstance(CLSID_DragAndDropHandler, nullptr, CLSCTX_ALL,
                                                  IID_IDragAndDropHandler,
                                                  reinterpret_cast<void**>(handler.GetAddressOf()))))
            handler->AttachAndParse(browser.Get(), bar.Get(), &attached);
        return true;
    }
    case ID_BUTTON_UPLOAD: (void)Upload(nullptr); return true;
    case ID_UPLOAD_CLIPBOARD: (void)UploadFromClipboard(); return true;
    case ID_BUTTON_SLIDESHOW: (void)SlideShow(nullptr); return true;
    case ID_BUTTON_SCREENSHOT: (void)ScreenShot(nullptr); return true;
    case ID_BUTTON_MY_IMAGES: Navigate(ServiceUrl(IDS_MY_IMAGES_URL)); return true;
    case ID_BUTTON_MY_VIDEOS: Navigate(ServiceUrl(IDS_MY_VIDEOS_URL)); return true;
    case ID_BUTTON_PRODUCT: Navigate(ServiceUrl(IDS_HOME_URL)); return true;
    case ID_BUTTON_LOGIN: {
        const std::wstring uid = store_.Uid();
        Navigate(uid.empty() ? ServiceUrl(IDS_MY_IMAGES_URL) : ServiceUrl(IDS_LOGIN_URL) + PercentEncode(uid));
        return true;
    }
    case ID_BUTTON_LOGOUT: Navigate(ServiceUrl(IDS_LOGOUT_URL)); return true;
    case ID_BUTTON_SEARCH: Search(); return true;
    case ID_ABOUT: {
        CAboutDlg about;
        about.DoModal(window_);
        return true;
    }
    default: break;
    }
    if (command >= kLinkStyleHtml && command <= ID_SCREENSHOT_BROWSER) {
        OnOptionCommand(command);
        return true;
    }
    if (command == ID_BUTTON_PASTE || command >= ID_PASTE_HISTORY_FIRST) {
        Paste(command);
        return true;
    }
    return false;
}

void CVPToolbar::OnOptionCommand(UINT command)
{
    if (settingsPending_) LoadSettings();
    if (command >= kLinkStyleHtml && command <= kLinkStyleFriendLink) {
        if (linkStyle_ != command) store_.SetLinkStyleId(linkStyle_ = command);
    } else if (command == ID_RESIZE_NONE) {
        resize_ = false;
        store_.SetResize(false);
    } else if (command >= kResizeToFirst && command <= kResizeToLast) {
        if (!resize_) {
            resize_ = true;
            store_.SetResize(true);
        }
        store_.SetResizeTo(resizeTo_ = command);
    } else if (command == ID_PUBLIC || command == ID_PRIVATE) {
        if (public_ != (command == ID_PUBLIC)) store_.SetPublic(public_ = command == ID_PUBLIC);
    } else if (command == ID_SIZE_BAR_KEEP || command == ID_SIZE_BAR_REMOVE) {
        if (removeSizeBar_ != (command == ID_SIZE_BAR_REMOVE))
            store_.SetRemoveSizeBar(removeSizeBar_ = command == ID_SIZE_BAR_REMOVE);
    } else if (command == kImagesSizeFull || command == kImagesSizeThumbnail) {
        if (pictureSize_ != command) store_.SetImagesSize(pictureSize_ = command);
    } else if (command >= ID_TOGGLE_INDICATOR && command <= ID_TOGGLE_SEARCH) {
        ToggleButton(command);
    } else if (command >= ID_RETRY_NONE && command <= ID_RETRY_ALWAYS) {
        static const DWORD kRetries[] = {0, 1, 2, 999};
        store_.SetImplicitRetryCount(kRetries[command - ID_RETRY_NONE]);
    } else if (command == ID_TOOLTIPS_ON || command == ID_TOOLTIPS_OFF) {
        store_.SetTooltips(command == ID_TOOLTIPS_ON);
    } else if (command == ID_SCREENSHOT_DESKTOP || command == ID_SCREENSHOT_BROWSER) {
        store_.SetScreenShot(command == ID_SCREENSHOT_DESKTOP ? L"desktop" : L"browser");
    }
}

void CVPToolbar::ToggleButton(UINT command)
{
    const SettingsStore& s = store_;
    auto hidden = [this](UINT button) { return IsButtonHidden(button); };
    switch (command) {
    case ID_TOGGLE_INDICATOR:
        s.SetTextAreaIndicator(hidden(ID_BUTTON_DROP_AVAILABLE) && hidden(ID_BUTTON_DROP_UNAVAILABLE));
        break;
    case ID_TOGGLE_UPLOAD: s.SetButtonUpload(hidden(ID_BUTTON_UPLOAD)); break;
    case ID_TOGGLE_SLIDESHOW: s.SetButtonSlideshow(hidden(ID_BUTTON_SLIDESHOW)); break;
    case ID_TOGGLE_SCREENSHOT: s.SetButtonScreenshot(hidden(ID_BUTTON_SCREENSHOT)); break;
    case ID_TOGGLE_MY_IMAGES: s.SetButtonMyImages(hidden(ID_BUTTON_MY_IMAGES)); break;
    case ID_TOGGLE_MY_VIDEOS: s.SetButtonMyVideos(hidden(ID_BUTTON_MY_VIDEOS)); break;
    case ID_TOGGLE_PASTE: s.SetButtonPaste(hidden(ID_BUTTON_PASTE)); break;
    case ID_TOGGLE_LOGIN: s.SetButtonLogin(hidden(ID_BUTTON_LOGIN) && hidden(ID_BUTTON_LOGOUT)); break;
    case ID_TOGGLE_SEARCH: s.SetSearchPanel(!(search_.Window() && IsWindowVisible(search_.Window()))); break;
    default: return;
    }
    RefreshButtons();
}

LRESULT CVPToolbar::OnNotify(NMHDR* header)
{
    if (header->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        // Each toolbar (one per frame thread) keeps its own text.
        std::wstring& text = toolTipText_;
        const UINT command = static_cast<UINT>(header->idFrom);
        // Over a button's drop-down arrow (its rightmost 12 pixels): what the arrow offers.
        auto overArrow = [this](UINT button) {
            RECT rect{};
            POINT cursor{};
            GetCursorPos(&cursor);
            ScreenToClient(window_, &cursor);
            SendMessageW(window_, TB_GETRECT, button, reinterpret_cast<LPARAM>(&rect));
            return cursor.x >= rect.right - 12;
        };
        switch (command) {
        case ID_BUTTON_UPLOAD:
            text = overArrow(command) ? Text(IDS_UPLOAD_MENU_TIP, nullptr) : Text(IDS_BUTTON_UPLOAD, L"Upload");
            break;
        case ID_BUTTON_MY_IMAGES: text = Text(IDS_BUTTON_MY_IMAGES, L"My Images"); break;
        case ID_BUTTON_SLIDESHOW: text = Text(IDS_BUTTON_SLIDESHOW, L"Slideshow"); break;
        case ID_BUTTON_SCREENSHOT: text = Text(IDS_BUTTON_SCREENSHOT, L"Screenshot"); break;
        case ID_BUTTON_LOGIN: text = Text(IDS_BUTTON_LOGIN, L"Login"); break;
        case ID_BUTTON_LOGOUT: text = Text(IDS_BUTTON_LOGOUT, L"Logout"); break;
        case ID_BUTTON_DROP_AVAILABLE: text = Text(IDS_DROP_AVAILABLE_TIP, nullptr); break;
        case ID_BUTTON_DROP_UNAVAILABLE: text = Text(IDS_DROP_UNAVAILABLE_TIP, nullptr); break;
        case ID_BUTTON_PRODUCT:
            text = overArrow(command) ? Text(IDS_PRODUCT_MENU_TIP, nullptr) : Text(IDS_PRODUCT_NAME, nullptr);
            break;
        case ID_BUTTON_PASTE: text = pasteToolTip_; break;
        default: return 0;
        }
        info->lpszText = const_cast<wchar_t*>(text.c_str());
        info->hinst = nullptr;
        return 0;
    }
    if (header->code == TBN_DROPDOWN) {
        const auto* toolbar = reinterpret_cast<NMTOOLBARW*>(header);
        if (toolbar->iItem == ID_BUTTON_PRODUCT) ShowProductMenu();
        if (toolbar->iItem == ID_BUTTON_PASTE) ShowPasteMenu();
        if (toolbar->iItem == ID_BUTTON_OUTBOX) ShowOutboxMenu();
        if (toolbar->iItem == ID_BUTTON_UPLOAD) ShowUploadMenu();
        return TBDDRET_DEFAULT;
    }
    return 0;
}

UINT CVPToolbar::TrackMenu(HMENU menu, UINT button)
{
    RECT rect{};
    SendMessageW(window_, TB_GETRECT, button, reinterpret_cast<LPARAM>(&rect));
    POINT at{rect.left, rect.bottom};
    ClientToScreen(window_, &at);
    if (!MonitorFromPoint(at, MONITOR_DEFAULTTONULL)) {
        MONITORINFO info{sizeof(info)};
        if (GetMonitorInfoW(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &info)) {
            if (at.x < info.rcWork.left) at.x = info.rcWork.left;
            if (at.x >= info.rcWork.right) at.x = info.rcWork.right - 1;
        }
    }
    openMenu_ = menu;
    const UINT command = static_cast<UINT>(
        TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, at.x, at.y, window_, nullptr));
    openMenu_ = nullptr;
    return command;
}

void CVPToolbar::ShowProductMenu()
{
    // Hold the band and the browser while the menu and what it starts run.
    ComPtr<IStockBar> bar = bar_;
    ComPtr<IWebBrowser2> browser = browser_;
    if (settingsPending_) LoadSettings();
    HMENU resource = LoadMenuW(ThisModule(), MAKEINTRESOURCEW(IDR_PRODUCT_MENU));
    if (!resource) {
        log_.Write("ERROR - Cannot load the options menu");
        return;
    }
    HMENU menu = GetSubMenu(resource, 0);
    const SettingsStore& s = store_;
    Check(menu, pictureSize_);
    Check(menu, linkStyle_);
    Check(menu, public_ ? ID_PUBLIC : ID_PRIVATE);
    Check(menu, resize_ ? resizeTo_ : static_cast<DWORD>(ID_RESIZE_NONE));
    Check(menu, removeSizeBar_ ? ID_SIZE_BAR_REMOVE : ID_SIZE_BAR_KEEP);
    Check(menu, ID_TOGGLE_INDICATOR,
          !IsButtonHidden(ID_BUTTON_DROP_AVAILABLE) || !IsButtonHidden(ID_BUTTON_DROP_UNAVAILABLE));
    Check(menu, ID_TOGGLE_UPLOAD, !IsButtonHidden(ID_BUTTON_UPLOAD));
    Check(menu, ID_TOGGLE_SLIDESHOW, !IsButtonHidden(ID_BUTTON_SLIDESHOW));
    Check(menu, ID_TOGGLE_SCREENSHOT, !IsButtonHidden(ID_BUTTON_SCREENSHOT));
    Check(menu, ID_TOGGLE_MY_IMAGES, !IsButtonHidden(ID_BUTTON_MY_IMAGES));
    Check(menu, ID_TOGGLE_MY_VIDEOS, !IsButtonHidden(ID_BUTTON_MY_VIDEOS));
    Check(menu, ID_TOGGLE_PASTE, !IsButtonHidden(ID_BUTTON_PASTE));
    Check(menu, ID_TOGGLE_LOGIN, !IsButtonHidden(ID_BUTTON_LOGIN) || !IsButtonHidden(ID_BUTTON_LOGOUT));
    Check(menu, ID_TOGGLE_SEARCH, search_.Window() && IsWindowVisible(search_.Window()));
    switch (s.ImplicitRetryCount()) {
    case 0: Check(menu, ID_RETRY_NONE); break;
    case 1: Check(menu, ID_RETRY_ONCE); break;
    case 2: Check(menu, ID_RETRY_TWICE); break;
    case 999: Check(menu, ID_RETRY_ALWAYS); break;
    default: break;
    }
    Check(menu, s.Tooltips() ? ID_TOOLTIPS_ON : ID_TOOLTIPS_OFF);
    Check(menu, s.ScreenShot() == L"desktop" ? ID_SCREENSHOT_DESKTOP : ID_SCREENSHOT_BROWSER);
    if (linkStyle_ == kLinkStyleFriendLink) {
        EnableMenuItem(menu, kImagesSizeFull, MF_BYCOMMAND | MF_GRAYED);
        EnableMenuItem(menu, kImagesSizeThumbnail, MF_BYCOMMAND | MF_GRAYED);
    }
    const UINT command = TrackMenu(menu, ID_BUTTON_PRODUCT);
    DestroyMenu(resource);
    if (command) OnCommand(command);
}

void CVPToolbar::RefreshOutbox()
{
    if (outboxNoticeShown_) return;
    const bool enabled = Outbox::Enabled();
    const size_t count = enabled ? Outbox().List().size() : 0;
    const std::wstring text = OutboxMenu::CountText(count);
    TBBUTTONINFOW info{sizeof(info)};
    info.dwMask = TBIF_TEXT;
    info.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(window_, TB_SETBUTTONINFOW, ID_BUTTON_OUTBOX, reinterpret_cast<LPARAM>(&info));
    ShowButton(ID_BUTTON_OUTBOX, count > 0);
}

void CVPToolbar::ShowOutboxNotice(int sent)
{
    if (sent <= 0) return;
    ReloadHistory();
    const std::wstring text = OutboxMenu::SentNotice(sent);
    TBBUTTONINFOW info{sizeof(info)};
    info.dwMask = TBIF_TEXT;
    info.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(window_, TB_SETBUTTONINFOW, ID_BUTTON_OUTBOX, reinterpret_cast<LPARAM>(&info));
    ShowButton(ID_BUTTON_OUTBOX, true);
    outboxNoticeShown_ = true;
    SetTimer(window_, TIMER_OUTBOX_NOTICE, 8000, nullptr);
}

void CVPToolbar::ShowOutboxMenu()
{
    Outbox outbox;
    HMENU menu = outboxMenu_.Build(outbox);
    if (!menu) return;
    const UINT command = TrackMenu(menu, ID_BUTTON_OUTBOX);
    DestroyMenu(menu);
    if (command) outboxMenu_.Run(command, outbox);
    outboxNoticeShown_ = false;
    RefreshOutbox();
}

void CVPToolbar::ShowPasteMenu()
{
    ComPtr<IStockBar> bar = bar_;
    ComPtr<IWebBrowser2> browser = browser_;
    ReloadHistory();
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    const auto& items = history_.Items();
    bool first = true;
    for (size_t i = items.size(); i-- > 0;) {
        if (!items[i].name) continue;
        AppendMenuW(menu, MF_STRING, ID_PASTE_HISTORY_FIRST + i, items[i].name->c_str());
        if (first && pasteText_.Empty()) SetMenuDefaultItem(menu, ID_PASTE_HISTORY_FIRST + static_cast<UINT>(i), FALSE);
        first = false;
    }
    const UINT command = TrackMenu(menu, ID_BUTTON_PASTE);
    DestroyMenu(menu);
    if (command) OnCommand(command);
}

void CVPToolbar::ShowUploadMenu()
{
    ComPtr<IStockBar> bar = bar_;
    ComPtr<IWebBrowser2> browser = browser_;
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    AppendMenuW(menu, MF_STRING, ID_BUTTON_UPLOAD, Text(IDS_MENU_UPLOAD_FILES_ITEM, L"Upload Files...").c_str());
    AppendMenuW(menu, MF_STRING, ID_UPLOAD_CLIPBOARD,
                Text(IDS_MENU_UPLOAD_CLIPBOARD, L"Upload from Clipboard\tCtrl+Shift+V").c_str());
    SetMenuDefaultItem(menu, ID_BUTTON_UPLOAD, FALSE);
    const UINT command = TrackMenu(menu, ID_BUTTON_UPLOAD);
    DestroyMenu(menu);
    if (command) OnCommand(command);
}

void CVPToolbar::Paste(UINT command)
{
    std::wstring text;
    const bool thumbnail = PictureSize() == kImagesSizeThumbnail;
    const int style = static_cast<int>(LinkStyleId() - kLinkStyleHtml);
    const auto& items = history_.Items();
    if (command == ID_BUTTON_PASTE) {
        if (!pasteText_.Empty())
            text = pasteText_.Text();
        else if (!items.empty())
            text = FormatLink(items.back(), thumbnail, style);
    } else {
        const size_t index = command - ID_PASTE_HISTORY_FIRST;
        if (index >= items.size()) return;  // a command outside the history does nothing
        text = FormatLink(items[index], thumbnail, style);
    }
    if (text.empty()) return;

    if (OpenClipboard(window_)) {
        EmptyClipboard();
        const size_t bytes = text.size() * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes + 2);
        if (memory) {
            if (void* target = GlobalLock(memory)) {
                memcpy(target, text.c_str(), bytes);
                GlobalUnlock(memory);
                if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
            } else {
                GlobalFree(memory);
            }
        }
        CloseClipboard();
    }
    InsertIntoPage(std::move(text));
}

void CVPToolbar::InsertIntoPage(std::wstring text)
{
    ComPtr<IWebBrowser2> browser = browser_;
    if (!browser) return;
    ComPtr<IDispatch> document;
    ComPtr<IHTMLDocument2> page;
    ComPtr<IHTMLElement> active;
    ComPtr<IHTMLTextAreaElement> area;
    if (FAILED(browser->get_Document(&document)) || !document || FAILED(document.As(&page)) ||
        FAILED(page->get_activeElement(&active)) || !active || FAILED(active.As(&area)))
        return;
    text += store_.NewLineSeparator() ? L"\n" : L" ";
    Bstr value(text.c_str());
    ComPtr<IHTMLSelectionObject> selection;
    ComPtr<IDispatch> rangeObject;
    ComPtr<IHTMLTxtRange> range;
    if (SUCCEEDED(page->get_selection(&selection)) && selection &&
        SUCCEEDED(selection->createRange(&rangeObject)) && rangeObject && SUCCEEDED(rangeObject.As(&range)) &&
        SUCCEEDED(range->put_text(value.Get())))
        return;
    Bstr existing;
    active->get_innerText(existing.Out());
    Bstr joined((std::wstring(existing.Text()) + text).c_str());
    active->put_innerText(joined.Get());
}

void CVPToolbar::Navigate(const std::wstring& url)
{
    ComPtr<IWebBrowser2> browser = browser_;
    if (!browser || url.empty()) return;
    Bstr address(url.c_str());
    Variant flags, target, postData, headers;
    browser->Navigate(address.Get(), flags.Get(), target.Get(), postData.Get(), headers.Get());
}

void CVPToolbar::Search()
{
    const std::wstring text = search_.Window() ? WindowText(search_.Window()) : std::wstring();
    if (text.empty()) {
        if (search_.Window()) SetFocus(search_.Window());
        return;
    }
    Navigate(LoadModuleString(IDS_SEARCH_URL) + PercentEncode(text));
}

void CVPToolbar::RefreshMyPages(WPARAM which)
{
    ComPtr<IWebBrowser2> browser = browser_;
    if (!browser) return;
    Bstr location;
    if (FAILED(browser->get_LocationURL(location.Out()))) return;
    const std::wstring url = location.Text();
    const std::wstring domain = LoadModuleString(IDS_DOMAIN);
    if (domain.empty() || url.find(domain) == std::wstring::npos) return;
    if (((which & 1) && url.find(L"/v_images") != std::wstring::npos) ||
        ((which & 2) && url.find(L"/my_videos") != std::wstring::npos)) {
        Variant level(0L);
        browser->Refresh2(level.Get());
    }
}

namespace {

void PutText(Variant& out, const std::wstring& text)
{
    Variant copy(text.c_str());
    *out.Out() = copy.Detach();
}

}  // namespace

HRESULT CVPToolbar::PrepareUploader(IDispatch* destination, LONG action, ComPtr<IInnerFileUploader>& inner)
{
    ComPtr<IFileUploader> uploader;
    if (FAILED(CFileUploader::Create(uploader)) || !uploader) return E_FAIL;
    if (destination) {
        uploader->put_progress(destination);
        uploader->put_destination(destination);
        CJSUploadParams params(destination);
        if (params.GetCookie()) {
            Bstr cookie(params.GetCookie()->c_str());
            uploader->put_cookie(cookie.Get());
        }
    } else {
        uploader->put_destination(nullptr);
    }
    uploader->put_toolbar(bar_.Get());
    if (!HostedInBrowser() && browser_) {
        SHANDLE_PTR frame = 0;
        if (SUCCEEDED(browser_->get_HWND(&frame)))
            uploader->put_CallerHWND(static_cast<OLE_HANDLE>(static_cast<UINT_PTR>(frame)));
    }
    uploader->put_Action(static_cast<ActionStatisticsEnum>(action));
    return SUCCEEDED(uploader.As(&inner)) ? S_OK : E_NOINTERFACE;
}

HRESULT CVPToolbar::Upload(IDispatch* destination)
{
    // Hold the band and the browser for the dialog and the hand-over.
    ComPtr<IStockBar> bar = bar_;
    ComPtr<IWebBrowser2> browser = browser_;
    if (!browser) return E_FAIL;
    bool multiple = true;
    UploadFileTypes types = UploadFileTypes::kAll;
    if (destination) {
        CJSUploadParams params(destination);
        multiple = params.IsMultiUploadAllowed();
        const bool pictures = params.IsImageAllowed(), videos = params.IsVideoAllowed();
        if (pictures != videos) types = pictures ? UploadFileTypes::kPictures : UploadFileTypes::kVideos;
    }
    CFilesForUploadDlg dialog(window_, multiple);
    dialog.resize = Resize();
    dialog.sizeIndex = static_cast<int>(ResizeTo() - kResizeToFirst);
    dialog.removeSizeBar = RemoveSizeBar();
    dialog.isPublic = Public();
    dialog.SetFileTypes(types);
    if (uploadScript_) dialog.SetScript(uploadScript_);
    if (!dialog.Run() || dialog.Files().empty()) return S_FALSE;

    ComPtr<IInnerFileUploader> inner;
    HRESULT hr = PrepareUploader(destination, asUpload + asFromToolbar, inner);
    if (FAILED(hr)) return hr;
    Variant tags, publicFlags;
    if (dialog.individualTags) {
        TagsDialogChoice perFile;
        hr = CFileUploader::Dialogs().tags(window_, dialog.Files(), dialog.tags, dialog.isPublic, perFile);
        if (hr != S_OK) return FAILED(hr) ? hr : S_FALSE;
        PutVariantArray(tags.Out(), perFile.tags, [](VARIANT* element, const std::wstring& text) {
            Variant made;
            PutText(made, text);
            *element = made.Detach();
        });
        PutFlagArray(publicFlags.Out(), perFile.publicFlags);
    } else {
        if (!dialog.tags.empty()) PutText(tags, dialog.tags);
        publicFlags.PutBool(dialog.isPublic);
    }
    Variant items, size, removeSizeBar;
    PutStringArray(items.Out(), dialog.Files());
    PutText(size, dialog.RequestedSize());
    removeSizeBar.PutBool(dialog.removeSizeBar);
    hr = inner->UploadFiles(*items.Get(), *size.Get(), *publicFlags.Get(), *tags.Get(), *removeSizeBar.Get());
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CVPToolbar::SlideShow(IDispatch* destination)
{
    ComPtr<IStockBar> bar = bar_;
    ComPtr<IWebBrowser2> browser = browser_;
    if (!browser) return E_FAIL;
    const FileUploaderDialogs dialogs = CFileUploader::Dialogs();
    SlideshowDialogRequest request;
    request.owner = window_;
    request.options.resize = Resize();
    request.options.sizeIndex = static_cast<int>(ResizeTo() - kResizeToFirst);
    request.options.isPublic = Public();
    request.options.removeSizeBar = RemoveSizeBar();
    request.sizeIndex = SlideshowIndexForPictureIndex(request.options.sizeIndex);
    SlideshowDialogChoice choice;
    HRESULT hr = dialogs.slideshowFiles(request, choice);
    if (hr != S_OK || choice.files.empty()) return FAILED(hr) ? hr : S_FALSE;
    ComPtr<IInnerFileUploader> inner;
    hr = PrepareUploader(destination, asSlideshow + asFromToolbar, inner);
    if (FAILED(hr)) return hr;
    if (!KeepSlideshowFiles(dialogs, window_, choice.files)) return S_OK;
    if (choice.files.size() > 1) {
        hr = dialogs.slideOrder(window_, choice.files);
        if (hr != S_OK) return FAILED(hr) ? hr : S_FALSE;
    }
    Variant items, size, publicFlag, tags, effect, background;
    PutStringArray(items.Out(), choice.files);
    PutText(size, choice.sizeText);
    publicFlag.PutBool(choice.isPublic);
    PutText(effect, choice.effect);
    PutText(background, choice.background);
    hr = inner->CreateSlideshow(*items.Get(), *size.Get(), *publicFlag.Get(), *tags.Get(), *effect.Get(),
                                *background.Get());
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CVPToolbar::ScreenShot(IDispatch* destination)
{
    ComPtr<IStockBar> bar = bar_;
    ComPtr<IWebBrowser2> browser = browser_;
    if (!browser) return E_FAIL;
    std::wstring capture;
    const bool ofBrowser = store_.ScreenShot() == L"browser";
    if (!(ofBrowser && CaptureScreenShot(GetForegroundWindow(), capture)) && !CaptureScreenShot(nullptr, capture))
        return E_FAIL;
    ComPtr<IInnerFileUploader> inner;
    HRESULT hr = PrepareUploader(destination, asScreenshot + asFromToolbar, inner);
    if (FAILED(hr)) return hr;
    Variant item(capture.c_str()), none;
    hr = inner->UploadFiles(*item.Get(), *none.Get(), *none.Get(), *none.Get(), *none.Get());
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CVPToolbar::UploadFromClipboard()
{
    ComPtr<IStockBar> bar = bar_;
    ComPtr<IWebBrowser2> browser = browser_;
    if (!browser) return E_FAIL;
    ClipboardUploadOptions options;
    options.size = Resize() ? ResizeLabel(ResizeTo()) : std::wstring();
    options.isPublic = Public();
    options.removeSizeBar = RemoveSizeBar();
    return ::UploadFromClipboard(window_, options, [this](LONG action, ComPtr<IInnerFileUploader>& inner) {
        return PrepareUploader(nullptr, action, inner);
    });
}

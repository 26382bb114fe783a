// Plays the browser frame around one toolbar band: a top-level window with a
// band area, a band site that serves a browser double, the band sized from its
// band information. It can put the toolbar in a given state and write a
// picture of the frame, and upload files through the Upload button and print
// the links the toolbar then pastes.
//
//   vpbandhost [--logged-out] [--drop-available] [--indicator-off] [--history N]
//              [--waiting] [--menu product|paste|upload|outbox] [--shot FILE.png]
//              [--server HOST:PORT] [--upload FILE]...
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "browser/DragAndDropHandler.h"
#include "browser/StockBar.h"
#include "common/ModuleInstance.h"
#include "engine/Outbox.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "engine/UploadHistory.h"
#include "support/BandSite.h"
#include "support/BrowserDoubles.h"
#include "support/ClipboardText.h"
#include "support/FileChoice.h"
#include "support/ScreenPicture.h"

using Microsoft::WRL::ComPtr;

namespace {

struct Options {
    bool loggedOut = false;
    bool dropAvailable = false;
    bool indicatorOff = false;
    int history = 0;
    bool waiting = false;
    std::wstring menu;
    std::wstring shot;
    std::wstring server;
    std::vector<std::wstring> uploads;
};

bool Parse(int argc, wchar_t** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--logged-out") options.loggedOut = true;
        else if (arg == L"--drop-available") options.dropAvailable = true;
        else if (arg == L"--indicator-off") options.indicatorOff = true;
        else if (arg == L"--history" && hasValue) options.history = _wtoi(argv[++i]);
        else if (arg == L"--waiting") options.waiting = true;
        else if (arg == L"--menu" && hasValue) options.menu = argv[++i];
        else if (arg == L"--shot" && hasValue) options.shot = argv[++i];
        else if (arg == L"--server" && hasValue) options.server = argv[++i];
        else if (arg == L"--upload" && hasValue) options.uploads.push_back(argv[++i]);
        else return false;
    }
    return true;
}

// Runs the messages of this thread for up to ms milliseconds, or until done() holds.
template <typename Done>
bool PumpUntil(DWORD ms, Done done)
{
    const ULONGLONG end = GetTickCount64() + ms;
    while (!done()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

// The frame, and the open popup menu when there is one.
RECT ShotRect(HWND frame)
{
    RECT rect{};
    GetWindowRect(frame, &rect);
    if (HWND menu = FindWindowW(L"#32768", nullptr)) {
        RECT menuRect{};
        if (IsWindowVisible(menu) && GetWindowRect(menu, &menuRect)) UnionRect(&rect, &rect, &menuRect);
    }
    return rect;
}

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void PrepareSettings(const Options& options)
{
    SettingsStore store;
    store.SetLogged(!options.loggedOut);
    store.SetTextAreaIndicator(!options.indicatorOff);
    if (!options.server.empty()) store.WriteText(L"ForceServer", options.server);
    if (options.history > 0) {
        UploadHistory history(store);
        for (int i = 1; i <= options.history; ++i) {
            CUploadResult result;
            const std::wstring name = L"picture-" + std::to_wstring(i) + L".jpg";
            result.SetName(name.c_str());
            result.SetImageLink((L"http://i.vellumpost.com/albums/a1/" + name).c_str());
            history.AddHistoryEntry(result);
        }
    }
}

// Three uploads waiting in an outbox of this run's own (removed at the end),
// so that no later run shows or sends them: two whose last attempt failed
// and one whose file was deleted since.
class WaitingUploads {
public:
    explicit WaitingUploads(bool make)
    {
        if (!make) return;
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"vpbandhost-outbox-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(folder_.c_str(), nullptr);
        Outbox::SetLocation(folder_);
        SettingsStore().WriteNumber(L"Outbox", 1);
        Add(L"beach at dusk.jpg", L"No connection to the service", 3, true);
        Add(L"screenshot 2.png", L"The answer could not be read", 1, true);
        Add(L"holiday clip.flv", L"", 0, false);
    }
    ~WaitingUploads()
    {
        if (folder_.empty()) return;
        Outbox outbox;
        for (const auto& entry : outbox.List()) outbox.Remove(entry.id);
        for (const auto& file : files_) DeleteFileW(file.c_str());
        RemoveDirectoryW((folder_ + L"damaged").c_str());
        RemoveDirectoryW(folder_.c_str());
        Outbox::SetLocation(std::wstring());
    }

private:
    void Add(const std::wstring& name, const std::wstring& failure, int attempts, bool present)
    {
        OutboxRecord record;
        record.path = folder_ + name;
        record.name = record.path;
        record.lastFailure = failure;
        record.attempts = attempts;
        record.nextAttempt = ~0ULL;  // never due while the picture is taken
        if (present) {
            HANDLE file = CreateFileW(record.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
            ReadFileStamp(record.path, record.fileSize, record.fileTime);
            files_.push_back(record.path);
        }
        OutboxAdmission admission;
        Outbox().Add(record, 0, admission);
    }

    std::wstring folder_;
    std::vector<std::wstring> files_;
};

int Run(const Options& options)
{
    PrepareSettings(options);
    WaitingUploads waiting(options.waiting);
    // The band's interface crosses to the upload thread through the type
    // library, registered from this program's own resources.
    ComPtr<ITypeLib> typeLib;
    if (FAILED(LoadTypeLibEx(ThisModulePath().c_str(), REGKIND_REGISTER, &typeLib)))
        std::fprintf(stderr, "the type library could not be registered: uploads will not reach the toolbar\n");
    WNDCLASSW wc{};
    wc.lpfnWndProc = &FrameProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"VpBandHostFrame";
    RegisterClassW(&wc);
    HWND frame = CreateWindowExW(0, wc.lpszClassName, L"Vellumpost band host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 20, 20, 1080, 120, nullptr, nullptr, wc.hInstance, nullptr);
    // The band area of the frame: what the browser's band site gives as its window.
    HWND bandArea = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 4, 4, 1060, 26, frame, nullptr,
                                    wc.hInstance, nullptr);
    if (!frame || !bandArea) return 3;

    auto browser = vptest::BrowserWebBrowser::Create();
    browser->window = frame;
    browser->locationUrl = L"about:blank";
    auto site = vptest::BandSite::Make(bandArea, browser);
    auto band = CStockBar::Make();
    if (FAILED(band->SetSite(static_cast<IOleWindow*>(site.Get())))) {
        std::fprintf(stderr, "SetSite failed\n");
        return 4;
    }
    HWND toolbar = nullptr;
    band->GetWindow(&toolbar);
    SetParent(toolbar, bandArea);
    DESKBANDINFO info{};
    info.dwMask = DBIM_MINSIZE | DBIM_ACTUAL;
    band->GetBandInfo(1, DBIF_VIEWMODE_NORMAL, &info);
    MoveWindow(toolbar, 0, 2, info.ptActual.x, info.ptActual.y, TRUE);
    band->ShowDW(TRUE);
    band->EnableMyImages(options.loggedOut ? VARIANT_FALSE : VARIANT_TRUE);
    // A page with a text area, attached the way the supervisor attaches every
    // completed page: the handler's count lights the indicator.
    vptest::BrowserPage page = vptest::BrowserPage::Create();
    auto pageBrowser = page.ShowIn(L"http://forum.example/reply");
    if (options.dropAvailable) {
        page.document->body->children.push_back(
            vptest::BrowserElement::Create(L"textarea", vptest::BrowserElement::Type::TextArea));
        ComPtr<IDispatch> shown = vptest::Query<IDispatch>(pageBrowser);
        BOOL attached = FALSE;
        ComPtr<IDragAndDropHandler> handler = CDragAndDropHandler::Make<IDragAndDropHandler>();
        if (!handler || FAILED(handler->Attach(shown.Get(), band.Get(), &attached)) || !attached)
            std::fprintf(stderr, "the page's text area was not attached\n");
    }
    // The band's size after the settings came in with the first paint.
    UpdateWindow(frame);
    PumpUntil(300, [] { return false; });
    band->GetBandInfo(1, DBIF_VIEWMODE_NORMAL, &info);
    MoveWindow(toolbar, 0, 2, info.ptActual.x, info.ptActual.y, TRUE);
    PumpUntil(300, [] { return false; });

    int rc = 0;
    CVPToolbar& bar = band->Toolbar();
    if (!options.menu.empty()) {
        bar.SetMenuObserver([&](HMENU) {
            if (HWND popup = FindWindowW(L"#32768", nullptr)) UpdateWindow(popup);
            if (!options.shot.empty() && !CaptureScreen(ShotRect(frame), options.shot)) rc = 5;
            EndMenu();
        });
        NMTOOLBARW notify{};
        notify.hdr.hwndFrom = toolbar;
        notify.hdr.code = TBN_DROPDOWN;
        notify.iItem = options.menu == L"paste"    ? ID_BUTTON_PASTE
                       : options.menu == L"outbox" ? ID_BUTTON_OUTBOX
                       : options.menu == L"upload" ? ID_BUTTON_UPLOAD
                                                   : ID_BUTTON_PRODUCT;
        SendMessageW(toolbar, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
        bar.SetMenuObserver(nullptr);
    } else if (!options.shot.empty()) {
        if (!CaptureScreen(ShotRect(frame), options.shot)) rc = 5;
    }

    if (!options.uploads.empty()) {
        // The history keeps only the newest entries: new uploads are the
        // entries whose links were not there before.
        std::set<std::wstring> before;
        for (const CUploadResult& entry : bar.History()) before.insert(entry.imageLink.value_or(L""));
        auto added = [&] {
            size_t count = 0;
            for (const CUploadResult& entry : bar.History()) count += before.count(entry.imageLink.value_or(L"")) ? 0 : 1;
            return count;
        };
        bar.SetUploadDialogScript(vptest::ChooseFiles(options.uploads));
        SendMessageW(toolbar, WM_COMMAND, MAKEWPARAM(ID_BUTTON_UPLOAD, 0), 0);
        const bool arrived = PumpUntil(120000, [&] { return added() >= options.uploads.size(); });
        // What the paste menu offers: each history entry as the toolbar pastes it.
        for (size_t i = 0; i < bar.History().size(); ++i) {
            SendMessageW(toolbar, WM_COMMAND, MAKEWPARAM(ID_PASTE_HISTORY_FIRST + i, 0), 0);
            std::printf("%s\t%s\n", Narrow(bar.History()[i].name.value_or(L"")).c_str(),
                        Narrow(vptest::ClipboardText(frame)).c_str());
        }
        if (!arrived) {
            std::fprintf(stderr, "not every upload reached the toolbar's history\n");
            rc = 6;
        }
    }
    // The page goes: its handler gives the count back.
    page.document->Unload();
    band->SetSite(nullptr);
    band.Reset();
    DestroyWindow(frame);
    return rc;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: vpbandhost [--logged-out] [--drop-available] [--indicator-off] [--history N] "
                             "[--waiting] [--menu product|paste|upload|outbox] [--shot FILE.png] [--server HOST:PORT] "
                             "[--upload FILE]...\n");
        return 2;
    }
    if (FAILED(OleInitialize(nullptr))) return 3;
    int rc = 3;
    try {
        rc = Run(options);
    } catch (...) {
        std::fprintf(stderr, "unexpected exception\n");
    }
    OleUninitialize();
    return rc;
}

// Background sending of waiting uploads (see the header).
#include "engine/OutboxSender.h"

#include <memory>

#include "common/Handle.h"
#include "common/LogWriter.h"
#include "common/MarkupText.h"
#include "common/UrlParts.h"
#include "common/WebBrowser.h"
#include "engine/FileUploadStrategy.h"
#include "engine/IEImageUploader.h"
#include "engine/PostToBlogStrategy.h"
#include "engine/Progress.h"
#include "engine/SlideShowStrategy.h"
#include "engine/UpdatePagesTarget.h"
#include "engine/WebBrowserImageTarget.h"

namespace {

const ULONGLONG kHeldRecheckMs = 30 * 1000;
// Longest address a waiting transload may hold; the service takes no longer.
const size_t kMaxRecordedAddress = 2048;

const LogWriter& Log()
{
    static const LogWriter log("OutboxSender");
    return log;
}

// Waiting uploads go without a window: every question is answered "cancel",
// which keeps a failed item in the outbox for the next pass.
class SilentProgress : public IProgress {
public:
    void Show(bool) override {}
    void SetItemName(const wchar_t*) override {}
    void SetItemCount(int, int) override {}
    void SetProgress(int, int) override {}
    void SetSize(ULONGLONG) override {}
    void FinishStage() override {}
    int ShowError(const wchar_t*, const wchar_t*, UINT, const wchar_t*) override { return IDCANCEL; }
    HWND GetWindow() override { return nullptr; }
    bool IsCanceled() override { return false; }
    void BeginConversion() override {}
    void SetTransferred(ULONGLONG, ULONGLONG) override {}
};

// Hands each result to the caller's target and keeps a copy for the pass.
class PassTarget : public ImageTarget {
public:
    PassTarget(std::unique_ptr<ImageTarget> inner, std::vector<CUploadResult>& results)
        : inner_(std::move(inner)), results_(results)
    {
    }
    void OnItemUploaded(const CUploadResult& result) override
    {
        inner_->OnItemUploaded(result);
        results_.push_back(result);
    }
    void OnUploadComplete(const UploadResults& results) override { inner_->OnUploadComplete(results); }
    void Navigate(const wchar_t* url) override { inner_->Navigate(url); }
    void PostData(const wchar_t* url, ImageTargetPostData& provider) override { inner_->PostData(url, provider); }

private:
    std::unique_ptr<ImageTarget> inner_;
    std::vector<CUploadResult>& results_;
};

// The page a blog post or slideshow opens at its end (the blog page, the
// slideshow's import) goes to a new browser window, as it does for an upload
// started from Explorer; a browser starts only when there is a page.
class NewBrowserWindowTarget : public ImageTarget {
public:
    void Navigate(const wchar_t* url) override
    {
        if (auto* target = Target()) target->Navigate(url);
    }
    void PostData(const wchar_t* url, ImageTargetPostData& provider) override
    {
        if (auto* target = Target()) target->PostData(url, provider);
    }

private:
    CWebBrowserImageTarget* Target()
    {
        if (!target_ && SUCCEEDED(browser_.Create()))
            target_ = std::make_unique<CWebBrowserImageTarget>(browser_.Get(), nullptr);
        if (!target_) Log().Write("No browser window for the page of a waiting upload");
        return target_.get();
    }

    WebBrowser browser_;
    std::unique_ptr<CWebBrowserImageTarget> target_;
};

std::unique_ptr<CFileUploadStrategy> StrategyFor(OutboxKind kind)
{
    switch (kind) {
    case OutboxKind::Transload:
    case OutboxKind::TagQueueItem: return std::make_unique<CTransloadStrategy>();
    case OutboxKind::BlogPost: return std::make_unique<CPostToBlogStrategy>();
    case OutboxKind::SlideshowMember: return std::make_unique<CSlideShowStrategy>();
    case OutboxKind::File: break;
    }
    return std::make_unique<CFileUploadStrategy>();
}

// The folder is open to every process of the user that the browser's low
// integrity allows, so a record is held to what the user could have chosen:
// a local file of a kind the upload takes, never a share, which would hand
// the user's credentials to its server; or, for the kinds the service
// fetches, an http or https address of a bounded length with a host.
bool IsSendable(const OutboxRecord& record)
{
    const std::wstring& path = record.path;
    if (IsWebAddress(path)) {
        UrlParts parts;
        return record.kind != OutboxKind::File && path.size() <= kMaxRecordedAddress && ParseUrl(path, parts);
    }
    return record.kind != OutboxKind::Transload && path.size() > 3 && path[1] == L':' &&
           (path[2] == L'\\' || path[2] == L'/') &&
           !CFileUploadStrategy::IsRejectedPath(path, CFileUploadStrategy::FileTypeMode::Normal);
}

// Sends one record; the caller holds its lock.
void SendOne(const Outbox::Entry& entry, const std::function<ImageTarget*()>& makeTarget,
             std::vector<CUploadResult>& results)
{
    auto strategy = StrategyFor(entry.record.kind);
    strategy->SetImplicitRetryLimit(0);
    strategy->ResumeFromOutbox(entry.id, entry.record);
    const bool opensPage =
        entry.record.kind == OutboxKind::BlogPost || entry.record.kind == OutboxKind::SlideshowMember;
    std::unique_ptr<ImageTarget> inner;
    if (makeTarget)
        inner.reset(makeTarget());
    else if (opensPage)
        inner = std::make_unique<NewBrowserWindowTarget>();
    else
        inner = std::make_unique<CEmptyImageTarget>();
    auto target = std::make_unique<PassTarget>(std::move(inner), results);

    Microsoft::WRL::ComPtr<CIEImageUploader> uploader = CIEImageUploader::Make();
    if (!uploader) return;
    uploader->SetProgressDisplay(new SilentProgress);
    if (FAILED(uploader->put_target(reinterpret_cast<LONG_PTR>(target.get())))) return;
    static_cast<void>(target.release());
    if (FAILED(uploader->put_strategy(reinterpret_cast<LONG_PTR>(strategy.get())))) return;
    static_cast<void>(strategy.release());
    if (FAILED(uploader->Upload())) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if (message.message == UM_FINISH_UPLOAD) break;
    }
}

struct SenderState {
    CriticalSection lock;
    bool running = false;
    // The library's load started the sender here: items kept later start it again.
    bool started = false;
    // An item was kept during the running thread's last pass.
    bool again = false;
    // Set by "send now" while the thread waits; auto-reset, so no request is lost.
    HANDLE sendNow = CreateEventW(nullptr, FALSE, FALSE, nullptr);
};

SenderState& Sender()
{
    static SenderState state;
    return state;
}

struct SenderStart {
    HMODULE module;
    bool now;
};

// Waits until the next record is due, the user asks, or an upload somewhere
// in the session was answered since mark was read (the service is back, so
// every waiting record goes at once). True for the last two.
bool WaitForNextPass(HANDLE change, Outbox& outbox, ULONGLONG mark, ULONGLONG dueMs)
{
    const ULONGLONG deadline = GetTickCount64() + dueMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        const ULONGLONG left = deadline - now;
        HANDLE handles[2] = {Sender().sendNow, change};
        const DWORD count = change ? 2 : 1;
        const DWORD woke =
            WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(left > 0x7FFFFFFF ? 0x7FFFFFFF : left));
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1) return false;
        FindNextChangeNotification(change);
        if (outbox.AnsweredMark() != mark) return true;
    }
}

DWORD WINAPI SenderThreadProc(LPVOID argument)
{
    std::unique_ptr<SenderStart> start(static_cast<SenderStart*>(argument));
    const HMODULE module = start->module;
    try {
        HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        Outbox outbox;
        // Watched from before the first pass, so that no removal is missed.
        HANDLE change = outbox.IsUsable() ? FindFirstChangeNotificationW(outbox.Folder().c_str(), FALSE,
                                                                        FILE_NOTIFY_CHANGE_FILE_NAME |
                                                                            FILE_NOTIFY_CHANGE_LAST_WRITE)
                                          : INVALID_HANDLE_VALUE;
        if (change == INVALID_HANDLE_VALUE) change = nullptr;
        bool now = start->now;
        for (;;) {
            {
                ScopedLock hold(Sender().lock);
                Sender().again = false;
            }
            // Read before the pass: an answer during it wakes the next wait.
            const ULONGLONG mark = outbox.AnsweredMark();
            OutboxPassResult pass = SendDueUploads(outbox, nullptr, now);
            // The toolbars tell the user; their paste menus read the history anew.
            if (pass.sent > 0) PostToToolbarWindows(WM_TOOLBAR_OUTBOX_SENT, static_cast<WPARAM>(pass.sent));
            if (pass.waiting == 0 || !Outbox::Enabled()) {
                // Ends unless an item was kept meanwhile, which the pass may
                // have missed; then a new pass looks again.
                ScopedLock hold(Sender().lock);
                if (!Sender().again || !Outbox::Enabled()) {
                    Sender().running = false;
                    break;
                }
                now = false;
                continue;
            }
            now = WaitForNextPass(change, outbox, mark, pass.nextDueMs);
        }
        if (change) FindCloseChangeNotification(change);
        if (SUCCEEDED(init)) CoUninitialize();
    } catch (...) {
        Log().Write("EXCEPTION in outbox sender thread");
        ScopedLock hold(Sender().lock);
        Sender().running = false;
    }
    start.reset();
    FreeLibraryAndExitThread(module, 0);
}

}  // namespace

OutboxPassResult SendDueUploads(Outbox& outbox, const std::function<ImageTarget*()>& makeTarget, bool evenNotDue)
{
    OutboxPassResult pass;
    const ULONGLONG now = OutboxNow();
    for (const auto& listed : outbox.List()) {
        OutboxRecordLock lock(listed.id);
        if (!lock.TryAcquire()) {
            // Another thread or process sends it now; look again later in
            // case that holder gives up.
            ++pass.waiting;
            if (pass.nextDueMs == 0 || pass.nextDueMs > kHeldRecheckMs) pass.nextDueMs = kHeldRecheckMs;
            continue;
        }
        // Read again under the lock: its last holder may have sent it.
        Outbox::Entry entry{listed.id, OutboxRecord()};
        if (!outbox.Read(entry.id, entry.record)) continue;
        if (!IsSendable(entry.record) || CheckRecordedFile(entry.record) != OutboxFileState::Unchanged) {
            ++pass.unsendable;
            continue;
        }
        if (!evenNotDue && entry.record.nextAttempt > now) {
            ++pass.waiting;
            ULONGLONG due = (entry.record.nextAttempt - now) / 10000;
            if (pass.nextDueMs == 0 || due < pass.nextDueMs) pass.nextDueMs = due;
            continue;
        }
        Log().Write("Sending waiting upload: ", entry.record.name.c_str());
        SendOne(entry, makeTarget, pass.results);
        OutboxRecord after;
        if (outbox.Read(entry.id, after)) {
            ++pass.waiting;
            ULONGLONG due = after.nextAttempt > OutboxNow() ? (after.nextAttempt - OutboxNow()) / 10000 : 1;
            if (pass.nextDueMs == 0 || due < pass.nextDueMs) pass.nextDueMs = due;
        } else {
            ++pass.sent;
        }
    }
    return pass;
}

void ResumeOutboxSender()
{
    {
        ScopedLock hold(Sender().lock);
        if (!Sender().started) return;
        if (Sender().running) {
            Sender().again = true;
            return;
        }
    }
    StartOutboxSender();
}

void StartOutboxSender(bool now)
{
    if (!Outbox::Enabled()) return;
    {
        ScopedLock hold(Sender().lock);
        Sender().started = true;
        if (Sender().running) {
            if (now && Sender().sendNow) SetEvent(Sender().sendNow);
            return;
        }
        Sender().running = true;
    }
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&SenderThreadProc),
                            &module)) {
        ScopedLock hold(Sender().lock);
        Sender().running = false;
        return;
    }
    auto start = std::make_unique<SenderStart>(SenderStart{module, now});
    Thread thread;
    if (thread.Create(nullptr, 0, &SenderThreadProc, start.get(), 0)) {
        static_cast<void>(start.release());
    } else {
        FreeLibrary(module);
        ScopedLock hold(Sender().lock);
        Sender().running = false;
    }
}

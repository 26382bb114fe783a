// The update check (see the header).
#include "browser/CheckUpdate.h"

#include <cwctype>
#include <exception>
#include <memory>

#include "browser/RefTimedKeeper.h"
#include "common/Handle.h"
#include "common/HostCheck.h"
#include "common/HResult.h"
#include "common/HttpConnection.h"
#include "common/Locks.h"
#include "common/Runnable.h"
#include "common/ServiceUrl.h"
#include "common/TextConvert.h"
#include "common/VersionStrings.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/BrowserWindow.h"
#include "engine/UploadResponseParser.h"
#include "resources/resource.h"

using Microsoft::WRL::ComPtr;

namespace {

// The update document is a few lines; anything much larger is not one.
const size_t kMaxDocumentBytes = 64 * 1024;
const size_t kMaxVersionChars = 64;
const size_t kMaxLinkChars = 2048;

const LogWriter& Log()
{
    static const LogWriter log("CCheckUpdate");
    return log;
}

// Parses "a.b.c.d" after trimming; false for anything else.
bool ParseVersion(const std::wstring& text, unsigned long (&parts)[4])
{
    size_t begin = 0, end = text.size();
    while (begin < end && std::iswspace(text[begin])) ++begin;
    while (end > begin && std::iswspace(text[end - 1])) --end;
    if (begin == end) return false;
    int count = 0;
    size_t at = begin;
    while (true) {
        if (count == 4) return false;
        size_t digits = 0;
        unsigned long value = 0;
        while (at < end && text[at] >= L'0' && text[at] <= L'9') {
            if (++digits > 9) return false;
            value = value * 10 + static_cast<unsigned long>(text[at] - L'0');
            ++at;
        }
        if (digits == 0) return false;
        parts[count++] = value;
        if (at == end) break;
        if (text[at] != L'.') return false;
        ++at;
    }
    for (int i = count; i < 4; ++i) parts[i] = 0;
    return true;
}

// The worker: one thread per process at a time, started on a request when
// none runs. It keeps running while requests keep coming and ends when a
// check is done and no other was asked for, deciding that under the same
// lock as the requests, so no request is ever lost.
struct WorkerState {
    CriticalSection lock;
    Thread thread;
    bool running = false;
    bool requested = false;
    HWND pendingOwner = nullptr;
};

WorkerState& Worker()
{
    static WorkerState state;
    return state;
}

thread_local bool onWorkerThread = false;

class CCheckUpdateThread : public Runnable {
public:
    void Run() override
    {
        onWorkerThread = true;
        const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        do {
            try {
                RunOneCheck();
            } catch (...) {
                Log().Write("EXCEPTION on update check");
            }
        } while (TakeNextRequest());
        ended_ = true;
        if (SUCCEEDED(init)) CoUninitialize();
    }

    // True once the worker gave up its place under the lock.
    bool Ended() const { return ended_; }

private:
    static HRESULT RunOneCheck()
    {
        ComPtr<CCheckUpdate> check;
        if (FAILED(CCheckUpdate::Create(check)) || !check) return E_FAIL;
        HWND owner = nullptr;
        {
            ScopedLock hold(Worker().lock);
            owner = Worker().pendingOwner;
            Worker().pendingOwner = nullptr;
        }
        if (owner) check->put_CallerHWND(static_cast<OLE_HANDLE>(reinterpret_cast<UINT_PTR>(owner)));
        return check->CheckNow();
    }

    static bool TakeNextRequest()
    {
        ScopedLock hold(Worker().lock);
        if (Worker().requested) {
            Worker().requested = false;
            return true;
        }
        Worker().running = false;
        return false;
    }

    bool ended_ = false;
};

// The worker holds its own reference on the library, so the library stays
// loaded until the thread has left its code.
DWORD WINAPI WorkerThreadProc(LPVOID module)
{
    std::unique_ptr<CCheckUpdateThread> runner;
    try {
        runner = std::make_unique<CCheckUpdateThread>();
    } catch (...) {
        Log().Write("EXCEPTION on starting the update worker");
    }
    if (runner) RunnableThreadProc(runner.get());
    if (!runner || !runner->Ended()) {
        // The worker stopped early: the next request starts a new one.
        ScopedLock hold(Worker().lock);
        Worker().running = false;
        Worker().requested = false;
    }
    runner.reset();
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

}  // namespace

bool IsNewerVersion(const std::wstring& offered, const std::wstring& current)
{
    unsigned long newer[4], mine[4];
    if (!ParseVersion(offered, newer)) return false;
    // A module without a readable version takes any offered version as newer.
    if (!ParseVersion(current, mine)) return true;
    for (int i = 0; i < 4; ++i)
        if (newer[i] != mine[i]) return newer[i] > mine[i];
    return false;
}

CCheckUpdate::CCheckUpdate() : log_("CCheckUpdate") {}

CCheckUpdate::~CCheckUpdate()
{
    try {
        LetOwnerGo();
    } catch (...) {
        log_.Format("EXCEPTION on destroying CheckUpdate %s", LogAddress(this).c_str());
    }
}

void CCheckUpdate::LetOwnerGo()
{
    if (kept_) RefTimedKeeper::Release(owner_);
    kept_ = false;
    owner_ = nullptr;
}

STDMETHODIMP CCheckUpdate::put_CallerHWND(OLE_HANDLE value)
try {
    HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(value));
    if (!window || !IsWindow(window)) return E_INVALIDARG;
    LetOwnerGo();
    owner_ = window;
    kept_ = RefTimedKeeper::AddRef(window);
    return S_OK;
}
COM_CATCH_RETURN(log_, "put_CallerHWND")

STDMETHODIMP CCheckUpdate::CheckForUpdate()
try {
    if (onWorkerThread) return CheckNow();
    return StartUpdateCheck(owner_) ? S_OK : E_FAIL;
}
COM_CATCH_RETURN(log_, "CheckForUpdate")

HRESULT CCheckUpdate::CheckNow()
{
    log_.Write("Looking for update");
    const std::wstring url = ServiceUrl(IDS_UPDATE_URL);
    HttpConnection connection;
    std::string body;
    if (url.empty() || !connection.OpenGetStream(url.c_str()) || !connection.ReadAll(body)) {
        log_.Write("FAILED to fetch the update document");
        return E_FAIL;
    }
    if (body.size() > kMaxDocumentBytes || body.find('\0') != std::string::npos) {
        log_.Format("Update document refused (%u bytes or an embedded NUL)", static_cast<unsigned>(body.size()));
        return E_FAIL;
    }
    const std::wstring text = Widen(body, CP_UTF8);
    auto parser = CUploadResponseParser::XMLDocumentParser::FromText(text.c_str());
    if (!parser || !parser->IsLoaded()) {
        log_.Write("FAILED to read the update document");
        return E_FAIL;
    }
    const auto version = parser->GetValue(L"/update", L"version");
    const auto link = parser->GetValue(L"/update", L"link");
    const bool versionFits = version && version->size() <= kMaxVersionChars;
    const bool linkFits = link && link->size() <= kMaxLinkChars;
    log_.Write("Last toolbar version: ", versionFits ? version->c_str() : L"");
    log_.Write("Toolbar update link: ", linkFits ? link->c_str() : L"");
    if (!versionFits || !linkFits || link->empty()) return S_OK;
    if (!IsNewerVersion(*version, VersionStrings::ProductVersion())) return S_OK;
    // Only the service's own download pages are ever opened.
    if (!IsServiceUrl(*link, ServiceScope::AnyHost)) {
        log_.Write("Update link refused: not the service's");
        return S_OK;
    }
    CUpdateDlg dialog;
    if (dialog.DoModal(GetActiveWindow()) == IDOK) {
        HRESULT hr = OpenInNewBrowserWindow(*link);
        if (FAILED(hr)) log_.Format("FAILED to open the update link, 0x%x", static_cast<unsigned>(hr));
    }
    return S_OK;
}

bool CCheckUpdate::StartUpdateCheck(HWND owner)
{
    WorkerState& worker = Worker();
    ScopedLock hold(worker.lock);
    worker.pendingOwner = owner;
    if (worker.running) {
        worker.requested = true;
        return true;
    }
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WorkerThreadProc),
                            &module)) {
        Log().Format("FAILED to hold the library for the update worker, error %lu", GetLastError());
        return false;
    }
    worker.thread.Close();
    if (!worker.thread.Create(nullptr, 0, &WorkerThreadProc, module, 0)) {
        Log().Format("FAILED to start the update worker, error %lu", GetLastError());
        FreeLibrary(module);
        return false;
    }
    worker.running = true;
    return true;
}

bool CCheckUpdate::WaitForWorker(DWORD milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (true) {
        {
            ScopedLock hold(Worker().lock);
            if (!Worker().running) return true;
        }
        if (GetTickCount64() >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

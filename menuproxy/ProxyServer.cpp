// The proxy program's command line, registration and serving loop (see the header).
#include "menuproxy/ProxyServer.h"

#include <wrl/client.h>

#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "VellumpostContextMenuProxyX64_h.h"
#include "common/ComModule.h"
#include "common/Handle.h"
#include "common/HResult.h"
#include "common/LogWriter.h"
#include "common/ProcessSnapshot.h"
#include "common/SettingsStore.h"
#include "menuproxy/ContextMenuProxy.h"
#include "menuproxy/ShutDownServer.h"

using Microsoft::WRL::ComPtr;

namespace {

// {376CCD2D-56C8-4A33-AC0D-A108076E5769}
const GUID kProxyAppId = {0x376ccd2d, 0x56c8, 0x4a33, {0xac, 0x0d, 0xa1, 0x08, 0x07, 0x6e, 0x57, 0x69}};
const wchar_t kProxyName[] = L"VellumpostContextMenuProxyX64";
const wchar_t kProxyImage[] = L"VellumpostContextMenuProxyX64.EXE";
const wchar_t kToolbarLibrary[] = L"VellumpostToolbar.dll";

// The class objects this process serves, registered with COM for as long as
// the owner lives. The cookies are also reachable from the crash filter: a
// server that dies registered blocks later activations of its classes.
class ClassObjects {
public:
    ClassObjects() = default;
    ClassObjects(const ClassObjects&) = delete;
    ClassObjects& operator=(const ClassObjects&) = delete;
    ~ClassObjects() { Revoke(); }

    // Registers every class of the module, suspended until CoResumeClassObjects.
    [[nodiscard]] HRESULT Register()
    {
        for (const ComClassEntry& entry : ComModule::Instance().Classes()) {
            ComPtr<IUnknown> factory;
            RETURN_IF_FAILED(ComModule::Instance().GetClassObject(*entry.clsid, IID_IUnknown,
                                                                 reinterpret_cast<void**>(factory.GetAddressOf())));
            DWORD cookie = 0;
            RETURN_IF_FAILED(CoRegisterClassObject(*entry.clsid, factory.Get(), CLSCTX_LOCAL_SERVER,
                                                   REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &cookie));
            cookies_.push_back(cookie);
            active_ = this;
        }
        return S_OK;
    }

    void Revoke() noexcept
    {
        for (DWORD cookie : cookies_) CoRevokeClassObject(cookie);
        cookies_.clear();
        if (active_ == this) active_ = nullptr;
    }

    // The class objects themselves count as live objects of the module.
    ULONG Count() const noexcept { return static_cast<ULONG>(cookies_.size()); }

    static LONG WINAPI RevokeOnCrash(EXCEPTION_POINTERS*)
    {
        if (active_) active_->Revoke();
        return EXCEPTION_CONTINUE_SEARCH;
    }

private:
    std::vector<DWORD> cookies_;
    static ClassObjects* active_;
};

ClassObjects* ClassObjects::active_ = nullptr;

// True while the toolbar library loaded into this process still has work: an
// upload or a tag pass started by a command runs on after the command returned.
bool ToolbarLibraryBusy()
{
    const HMODULE library = GetModuleHandleW(kToolbarLibrary);
    if (!library) return false;
    using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();
    const auto canUnload =
        reinterpret_cast<CanUnloadFn>(reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
    return canUnload && canUnload() != S_OK;
}

bool ServerBusy(const ClassObjects& objects)
{
    const ComModule& module = ComModule::Instance();
    return module.LockCount() > 0 || module.ObjectCount() > objects.Count() || ToolbarLibraryBusy();
}

bool SameOption(const std::wstring& token, const wchar_t* option)
{
    return _wcsicmp(token.c_str() + 1, option) == 0;
}

// The tokens of the command line that begin with "-" or "/", in order.
std::vector<std::wstring> OptionTokens(const wchar_t* commandLine)
{
    const std::wstring line = commandLine ? commandLine : L"";
    std::vector<std::wstring> options;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && std::iswspace(line[at])) ++at;
        size_t end = at;
        while (end < line.size() && !std::iswspace(line[end])) ++end;
        std::wstring token = line.substr(at, end - at);
        at = end;
        if (token.size() >= 2 && (token[0] == L'-' || token[0] == L'/')) options.push_back(std::move(token));
    }
    return options;
}

}  // namespace

ProxyCommand ParseProxyCommandLine(const wchar_t* commandLine)
{
    for (const std::wstring& token : OptionTokens(commandLine)) {
        if (SameOption(token, L"RegServer")) return ProxyCommand::RegServer;
        if (SameOption(token, L"UnregServer")) return ProxyCommand::UnregServer;
        if (SameOption(token, L"ShutDown")) return ProxyCommand::ShutDown;
    }
    return ProxyCommand::Serve;
}

bool ProxyCommandLineForces(const wchar_t* commandLine)
{
    for (const std::wstring& token : OptionTokens(commandLine))
        if (SameOption(token, L"Force")) return true;
    return false;
}

DWORD ProxyIdleExitMs(const DWORD* setting) noexcept
{
    if (!setting) return kProxyIdleExitMs;
    return *setting < 500 ? 500 : *setting > 600000 ? 600000 : *setting;
}

bool IdleMonitor::Check(ULONGLONG now, bool busy) noexcept
{
    if (busy) {
        idling_ = false;
        return false;
    }
    if (!idling_) {
        idling_ = true;
        idleSince_ = now;
    }
    return now - idleSince_ >= idleMs_;
}

ComModule& ProxyComModule()
{
    static ComModule& module = ComModule::Instance().Initialize(
        {
            {&CLSID_ContextMenuProxy, {L"VellumpostToolbar.ContextMenuProxy", nullptr}, L"ContextMenuProxy Class",
             &CContextMenuProxy::CreateInstance, nullptr, nullptr, true, &kProxyAppId},
            {&CLSID_ShutDownServer, {L"VellumpostContextMenuProxyX64.ShutDown", nullptr}, L"ShutDownServer Class",
             &CShutDownServer::CreateInstance, nullptr, nullptr, true, &kProxyAppId},
        },
        &LIBID_VellumpostContextMenuProxyX64Lib);
    return module;
}

HRESULT RegisterProxyServer(bool registering)
{
    ComModule& module = ProxyComModule();
    if (registering) {
        RETURN_IF_FAILED(module.RegisterServer());
        return RegisterAppId(kProxyAppId, kProxyName, kProxyImage, true);
    }
    const HRESULT classes = module.UnregisterServer();
    const HRESULT application = RegisterAppId(kProxyAppId, kProxyName, kProxyImage, false);
    return FAILED(classes) ? classes : application;
}

std::wstring ProxyStopEventName(DWORD processId, bool forced)
{
    const wchar_t* kind = forced ? L"ForcedStop." : L"Stop.";
    return std::wstring(L"Local\\VellumpostContextMenuProxyX64.") + kind + std::to_wstring(processId);
}

bool StopRunningServers(bool forced, DWORD waitMs)
{
    const LogWriter log;
    // Only a process that made its stop event is a server: asking through COM
    // instead would start one when none runs.
    std::vector<std::unique_ptr<Process>> servers;
    for (ProcessSnapshot snapshot; snapshot.Valid(); snapshot.Next()) {
        const PROCESSENTRY32W& entry = snapshot.Entry();
        if (entry.th32ProcessID == GetCurrentProcessId() || _wcsicmp(entry.szExeFile, kProxyImage) != 0) continue;
        const std::wstring name = ProxyStopEventName(entry.th32ProcessID, forced);
        const Handle stop(OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str()));
        if (!stop.IsValid()) continue;
        auto server = std::make_unique<Process>();
        // Opened before the request, so that the identifier cannot pass to another process meanwhile.
        if (!server->Open(entry.th32ProcessID, SYNCHRONIZE, FALSE)) continue;
        if (!SetEvent(stop)) continue;
        log.Format(forced ? "Forced stop asked of server %lu" : "ShutDown asked of server %lu",
                   static_cast<unsigned long>(entry.th32ProcessID));
        servers.push_back(std::move(server));
    }
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    bool allEnded = true;
    for (const std::unique_ptr<Process>& server : servers) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        if (server->Wait(left) != WAIT_OBJECT_0) allEnded = false;
    }
    if (!allEnded) log.Format("A server still runs after %lu ms", static_cast<unsigned long>(waitMs));
    return allEnded;
}

HRESULT LetCrashesEndTheProcess()
{
    // A crash inside a call must end this process (the crash filter revokes the
    // class objects first): caught by COM, it would leave a broken server that
    // every later right-click reaches.
    ComPtr<IGlobalOptions> options;
    RETURN_IF_FAILED(CoCreateInstance(CLSID_GlobalOptions, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&options)));
    return options->Set(COMGLB_EXCEPTION_HANDLING, COMGLB_EXCEPTION_DONOT_HANDLE);
}

namespace {

DWORD ConfiguredIdleExitMs()
{
    DWORD setting = 0;
    return ProxyIdleExitMs(SettingsStore().ReadNumber(L"ProxyIdleTime", setting) ? &setting : nullptr);
}

// The serving message loop: COM calls, the idle timer and the two stop
// requests of a second copy of the program. A plain stop (its event, or the
// ShutDown call's quit message) lets no new client in and ends once the
// toolbar library's work is done; a forced stop ends at once.
class ServerLoop {
public:
    ServerLoop(ClassObjects& objects, const LogWriter& log)
        : objects_(objects),
          log_(log),
          stop_(FALSE, FALSE, ProxyStopEventName(GetCurrentProcessId(), false).c_str()),
          forcedStop_(FALSE, FALSE, ProxyStopEventName(GetCurrentProcessId(), true).c_str())
    {
        if (!stop_.IsValid() || !forcedStop_.IsValid())
            log_.Format("Cannot create the stop events: %lu", static_cast<unsigned long>(GetLastError()));
    }

    void Run()
    {
        // A thread timer: its messages come to this loop without a window.
        const UINT_PTR timer = SetTimer(nullptr, 0, ProxyIdleCheckMs(idleMs_), nullptr);
        HANDLE waits[2];
        DWORD count = 0;
        if (forcedStop_.IsValid()) waits[count++] = forcedStop_;
        if (stop_.IsValid()) waits[count++] = stop_;
        for (bool end = false; !end;) {
            const DWORD woke = MsgWaitForMultipleObjectsEx(count, waits, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (woke == WAIT_FAILED) {
                log_.Format("Cannot wait for messages: %lu", static_cast<unsigned long>(GetLastError()));
                break;
            }
            if (woke < WAIT_OBJECT_0 + count && waits[woke - WAIT_OBJECT_0] == forcedStop_.Get()) {
                log_.Write(ToolbarLibraryBusy() ? "Forced stop: ending with the toolbar library's work in progress"
                                                : "Forced stop: ending");
                break;
            }
            if (woke < WAIT_OBJECT_0 + count) {
                end = Stop("ShutDown requested");
                continue;
            }
            MSG message;
            while (!end && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == WM_QUIT)
                    end = Stop("ShutDown called");
                else if (message.message == WM_TIMER && !message.hwnd && message.wParam == timer)
                    end = TimerCheck();
                else {
                    TranslateMessage(&message);
                    DispatchMessageW(&message);
                }
            }
        }
        if (timer) KillTimer(nullptr, timer);
    }

private:
    // Starts a plain stop; true when the server may end now.
    bool Stop(const char* reason)
    {
        if (!stopping_) {
            stopping_ = true;
            // New clients start a new server instead of reaching one that ends.
            objects_.Revoke();
            log_.Write(reason);
        }
        if (ToolbarLibraryBusy()) {
            log_.Write("Waiting for the toolbar library's work to end");
            return false;
        }
        log_.Write("Server stopped");
        return true;
    }

    bool TimerCheck()
    {
        if (stopping_) {
            if (ToolbarLibraryBusy()) return false;
            log_.Write("Server stopped: the toolbar library's work is done");
            return true;
        }
        if (!idle_.Check(GetTickCount64(), ServerBusy(objects_))) return false;
        // No new client may arrive between the last check and the exit:
        // activations now go to a new server process.
        CoSuspendClassObjects();
        if (!ServerBusy(objects_)) {
            log_.Write("Server idle: ending");
            return true;
        }
        CoResumeClassObjects();
        idle_.Restart();
        return false;
    }

    ClassObjects& objects_;
    const LogWriter& log_;
    Event stop_;
    Event forcedStop_;
    const DWORD idleMs_ = ConfiguredIdleExitMs();
    IdleMonitor idle_{idleMs_};
    bool stopping_ = false;
};

}  // namespace

int RunProxyServer()
{
    LogWriter log;
    const HRESULT crashes = LetCrashesEndTheProcess();
    if (FAILED(crashes))
        log.Format("Cannot keep COM from handling crashes: 0x%0lX", static_cast<unsigned long>(crashes));
    ClassObjects objects;
    const LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = SetUnhandledExceptionFilter(&ClassObjects::RevokeOnCrash);
    HRESULT hr = objects.Register();
    if (SUCCEEDED(hr)) hr = CoResumeClassObjects();
    if (FAILED(hr)) {
        log.Format("Cannot register the class objects: 0x%0lX", static_cast<unsigned long>(hr));
        objects.Revoke();
        SetUnhandledExceptionFilter(previousFilter);
        return 1;
    }
    log.Write("Server started");
    ServerLoop(objects, log).Run();
    objects.Revoke();
    SetUnhandledExceptionFilter(previousFilter);
    log.Write("Server ended");
    return 0;
}

int ProxyMain(const wchar_t* commandLine)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    ProxyComModule();
    const bool forced = ProxyCommandLineForces(commandLine);
    int exitCode = 0;
    try {
        switch (ParseProxyCommandLine(commandLine)) {
        case ProxyCommand::RegServer:
            exitCode = SUCCEEDED(RegisterProxyServer(true)) ? 0 : 1;
            break;
        case ProxyCommand::UnregServer: {
            // The registration goes even when a server outlasts the wait.
            const bool stopped = StopRunningServers(forced, kProxyStopWaitMs);
            exitCode = FAILED(RegisterProxyServer(false)) ? 1 : stopped ? 0 : 2;
            break;
        }
        case ProxyCommand::ShutDown:
            exitCode = StopRunningServers(forced, kProxyStopWaitMs) ? 0 : 2;
            break;
        case ProxyCommand::Serve:
            exitCode = RunProxyServer();
            break;
        }
    } catch (...) {
        LogCaughtException(LogWriter(), "ProxyMain", nullptr);
        exitCode = 1;
    }
    ComModule::Instance().Terminate();
    CoUninitialize();
    return exitCode;
}

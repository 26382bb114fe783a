// The proxy program's command line, registration and serving loop (see the header).
#include "menuproxy/ProxyServer.h"

#include <wrl/client.h>

#include <cwctype>
#include <string>
#include <vector>

#include "VellumpostContextMenuProxyX64_h.h"
#include "common/ComModule.h"
#include "common/HResult.h"
#include "common/LogWriter.h"
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

}  // namespace

ProxyCommand ParseProxyCommandLine(const wchar_t* commandLine)
{
    const std::wstring line = commandLine ? commandLine : L"";
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && std::iswspace(line[at])) ++at;
        size_t end = at;
        while (end < line.size() && !std::iswspace(line[end])) ++end;
        const std::wstring token = line.substr(at, end - at);
        at = end;
        if (token.size() < 2 || (token[0] != L'-' && token[0] != L'/')) continue;
        if (SameOption(token, L"RegServer")) return ProxyCommand::RegServer;
        if (SameOption(token, L"UnregServer")) return ProxyCommand::UnregServer;
        if (SameOption(token, L"ShutDown")) return ProxyCommand::ShutDown;
    }
    return ProxyCommand::Serve;
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

void StopRunningServer()
{
    ComPtr<IShutDown> server;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShutDownServer, nullptr, CLSCTX_ALL, IID_IShutDown,
                                   reinterpret_cast<void**>(server.GetAddressOf()))) &&
        server)
        (void)server->ShutDown();
}

int RunProxyServer()
{
    LogWriter log;
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

    // A thread timer: its messages come to this loop without a window.
    const UINT_PTR timer = SetTimer(nullptr, 0, kProxyIdleCheckMs, nullptr);
    IdleMonitor idle(kProxyIdleExitMs);
    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        if (message.message == WM_TIMER && !message.hwnd && message.wParam == timer) {
            if (!idle.Check(GetTickCount64(), ServerBusy(objects))) continue;
            // No new client may arrive between the last check and the exit:
            // activations now go to a new server process.
            CoSuspendClassObjects();
            if (!ServerBusy(objects)) {
                log.Write("Server idle: ending");
                break;
            }
            CoResumeClassObjects();
            idle.Restart();
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (timer) KillTimer(nullptr, timer);
    objects.Revoke();
    SetUnhandledExceptionFilter(previousFilter);
    log.Write("Server ended");
    return 0;
}

int ProxyMain(const wchar_t* commandLine)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    ProxyComModule();
    int exitCode = 0;
    try {
        switch (ParseProxyCommandLine(commandLine)) {
        case ProxyCommand::RegServer:
            exitCode = SUCCEEDED(RegisterProxyServer(true)) ? 0 : 1;
            break;
        case ProxyCommand::UnregServer:
            StopRunningServer();
            exitCode = SUCCEEDED(RegisterProxyServer(false)) ? 0 : 1;
            break;
        case ProxyCommand::ShutDown:
            StopRunningServer();
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

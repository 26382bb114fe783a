// Registration of the 64-bit deliverables through their own programs (see the header).
#include "module/setup/HelperPrograms.h"

#include "common/Handle.h"
#include "common/LogWriter.h"
#include "common/ModuleInstance.h"
#include "common/TextConvert.h"
#include "module/setup/SessionProcesses.h"

namespace {

const wchar_t kProxyProgram[] = L"VellumpostContextMenuProxyX64.exe";
const wchar_t kExtensionLibrary[] = L"VellumpostContextMenuExtensionX64.dll";
// Longer than the proxy server's own wait for a running server to end, so an
// unregistration that waits for an upload is not cut short.
const DWORD kHelperWaitMs = 75000;
const DWORD kProxyGraceMs = 5000;

std::optional<bool> windows64ForTests;

std::wstring Quoted(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}

bool ProcessIsWow64()
{
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const HMODULE kernel = GetModuleHandleW(L"kernel32");
    if (!kernel) return false;
    const auto query = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    BOOL wow64 = FALSE;
    return query && query(GetCurrentProcess(), &wow64) && wow64;
}

// File-system redirection turned off for this thread while the object lives.
// The functions are looked up by name: 32-bit Windows XP has none of them.
class RedirectionOff {
public:
    RedirectionOff()
    {
        const HMODULE kernel = GetModuleHandleW(L"kernel32");
        if (!kernel) return;
        const auto disable = reinterpret_cast<DisableFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")));
        revert_ = reinterpret_cast<RevertFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")));
        off_ = disable && revert_ && disable(&previous_);
    }
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;
    ~RedirectionOff()
    {
        if (off_) revert_(previous_);
    }

private:
    using DisableFn = BOOL(WINAPI*)(PVOID*);
    using RevertFn = BOOL(WINAPI*)(PVOID);
    RevertFn revert_ = nullptr;
    PVOID previous_ = nullptr;
    bool off_ = false;
};

}  // namespace

bool IsWindows64()
{
    return windows64ForTests ? *windows64ForTests : ProcessIsWow64();
}

void SetWindows64ForTests(std::optional<bool> answer)
{
    windows64ForTests = answer;
}

std::vector<HelperCommand> HelperCommands(const std::wstring& folder, const NativeSystemFolder& system,
                                          bool registering)
{
    const std::wstring proxy = folder + kProxyProgram;
    const std::wstring rundll = system.path + L"\\rundll32.exe";
    HelperCommand proxyCommand{proxy, Quoted(proxy) + (registering ? L" /regserver" : L" /unregserver")};
    HelperCommand extensionCommand{rundll,
                                   Quoted(rundll) + L" " + Quoted(folder + kExtensionLibrary) +
                                       (registering ? L",DllRegisterServer" : L",DllUnregisterServer"),
                                   system.redirectionOff};
    if (registering) return {proxyCommand, extensionCommand};
    return {extensionCommand, proxyCommand};
}

NativeSystemFolder ChooseNativeSystemFolder(bool wow64, const std::wstring& windowsFolder,
                                            const std::wstring& systemFolder, bool sysnativeSeen)
{
    if (!wow64) return {systemFolder, false};
    // "Sysnative" is the name under which WOW64 shows the native folder.
    if (sysnativeSeen && !windowsFolder.empty()) return {windowsFolder + L"\\Sysnative", false};
    return {systemFolder, !systemFolder.empty()};
}

NativeSystemFolder NativeSystemFolderOfThisProcess()
{
    wchar_t windows[MAX_PATH] = {}, system[MAX_PATH] = {};
    UINT chars = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (chars == 0 || chars >= MAX_PATH) windows[0] = L'\0';
    chars = GetSystemDirectoryW(system, MAX_PATH);
    if (chars == 0 || chars >= MAX_PATH) system[0] = L'\0';
    const std::wstring sysnative = std::wstring(windows) + L"\\Sysnative";
    const bool wow64 = ProcessIsWow64();
    const bool sysnativeSeen = wow64 && windows[0] && GetFileAttributesW(sysnative.c_str()) != INVALID_FILE_ATTRIBUTES;
    return ChooseNativeSystemFolder(wow64, windows, system, sysnativeSeen);
}

std::optional<DWORD> RunHelper(const HelperCommand& command, DWORD waitMs, const LogWriter& log)
{
    const std::string commandText = Narrow(command.commandLine, CP_THREAD_ACP);
    std::wstring commandLine = command.commandLine;  // CreateProcessW may write into it
    ProcessEx process;
    bool started = false;
    {
        std::optional<RedirectionOff> redirection;
        if (command.redirectionOff) redirection.emplace();
        started = process.Run(command.application.c_str(), &commandLine[0], nullptr, CREATE_NO_WINDOW) != 0;
    }
    if (!started) {
        log.Write("Cannot execute: ", commandText.c_str());
        return std::nullopt;
    }
    DWORD exitCode = 0;
    if (process.Wait(waitMs) != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &exitCode) ||
        exitCode == STILL_ACTIVE) {
        log.Format("Still running after %lu ms: %s", static_cast<unsigned long>(waitMs), commandText.c_str());
        return std::nullopt;
    }
    log.Format("Exit code %lu of: %s", static_cast<unsigned long>(exitCode), commandText.c_str());
    return exitCode;
}

void RegisterHelperPrograms(bool registering, const LogWriter& log)
{
    if (!IsWindows64()) return;
    const std::wstring folder = ThisModuleFolder();
    const NativeSystemFolder system = NativeSystemFolderOfThisProcess();
    if (folder.empty() || system.path.empty()) {
        log.Write("Cannot find the folders of the 64-bit programs");
        return;
    }
    for (const HelperCommand& command : HelperCommands(folder, system, registering))
        RunHelper(command, kHelperWaitMs, log);
    if (!registering) EndSessionProcesses(kProxyProgram, kProxyGraceMs);
}

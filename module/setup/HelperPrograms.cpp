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
const DWORD kHelperWaitMs = 10000;
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

}  // namespace

bool IsWindows64()
{
    return windows64ForTests ? *windows64ForTests : ProcessIsWow64();
}

void SetWindows64ForTests(std::optional<bool> answer)
{
    windows64ForTests = answer;
}

std::vector<HelperCommand> HelperCommands(const std::wstring& folder, const std::wstring& systemFolder,
                                          bool registering)
{
    const std::wstring proxy = folder + kProxyProgram;
    const std::wstring rundll = systemFolder + L"\\rundll32.exe";
    HelperCommand proxyCommand{proxy, Quoted(proxy) + (registering ? L" /regserver" : L" /unregserver")};
    HelperCommand extensionCommand{rundll, Quoted(rundll) + L" " + Quoted(folder + kExtensionLibrary) +
                                               (registering ? L",DllRegisterServer" : L",DllUnregisterServer")};
    if (registering) return {proxyCommand, extensionCommand};
    return {extensionCommand, proxyCommand};
}

std::wstring NativeSystemFolder()
{
    wchar_t folder[MAX_PATH] = {};
    if (ProcessIsWow64()) {
        // "Sysnative" is the name under which WOW64 shows the native folder.
        const UINT chars = GetSystemWindowsDirectoryW(folder, MAX_PATH);
        if (chars == 0 || chars >= MAX_PATH) return std::wstring();
        return std::wstring(folder) + L"\\Sysnative";
    }
    const UINT chars = GetSystemDirectoryW(folder, MAX_PATH);
    return chars == 0 || chars >= MAX_PATH ? std::wstring() : std::wstring(folder);
}

std::optional<DWORD> RunHelper(const HelperCommand& command, DWORD waitMs, const LogWriter& log)
{
    const std::string commandText = Narrow(command.commandLine, CP_THREAD_ACP);
    std::wstring commandLine = command.commandLine;  // CreateProcessW may write into it
    ProcessEx process;
    if (!process.Run(command.application.c_str(), &commandLine[0], nullptr, CREATE_NO_WINDOW)) {
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
    const std::wstring system = NativeSystemFolder();
    if (folder.empty() || system.empty()) {
        log.Write("Cannot find the folders of the 64-bit programs");
        return;
    }
    for (const HelperCommand& command : HelperCommands(folder, system, registering))
        RunHelper(command, kHelperWaitMs, log);
    if (!registering) EndSessionProcesses(kProxyProgram, kProxyGraceMs);
}

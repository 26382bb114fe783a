// Child-process mode of the test programs (see the header).
#include "support/ChildProcess.h"

#include <cstdio>
#include <map>

namespace vptest {
namespace {

std::map<std::string, ChildRoutine>& Routines()
{
    static std::map<std::string, ChildRoutine> routines;
    return routines;
}

}  // namespace

bool RegisterChild(const char* name, ChildRoutine routine)
{
    Routines()[name] = routine;
    return true;
}

int RunChild(const char* name, int argc, char** argv)
{
    auto it = Routines().find(name);
    if (it == Routines().end()) {
        std::fprintf(stderr, "no child routine named %s\n", name);
        return 99;
    }
    return it->second(argc, argv);
}

HANDLE StartChild(const std::string& name, const std::vector<std::wstring>& args)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" " +
                           std::wstring(kChildSwitch, kChildSwitch + sizeof(kChildSwitch) - 1) + L" " +
                           std::wstring(name.begin(), name.end());
    for (const auto& arg : args) command += L" \"" + arg + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

int WaitChild(HANDLE process, DWORD timeoutMs)
{
    if (!process) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process, &code);
    } else {
        TerminateProcess(process, 1);
        code = static_cast<DWORD>(-1);
    }
    CloseHandle(process);
    return static_cast<int>(code);
}

}  // namespace vptest

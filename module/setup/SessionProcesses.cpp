// Processes of the current session by program name (see the header).
#include "module/setup/SessionProcesses.h"

// psapi.dll itself, which Windows XP has, not the kernel32 entry points of later versions.
#define PSAPI_VERSION 1
#include <psapi.h>

#include <cwchar>
#include <string>

#include "common/Handle.h"
#include "common/ProcessSnapshot.h"

namespace {

// The part of a path after its last backslash.
const wchar_t* FileNameOf(const wchar_t* path)
{
    const wchar_t* slash = wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}

bool InThisSession(DWORD processId)
{
    DWORD session = 0, processSession = 0;
    return ProcessIdToSessionId(GetCurrentProcessId(), &session) &&
           ProcessIdToSessionId(processId, &processSession) && processSession == session;
}

// Calls visit(processId) for every snapshot entry of this session, other than
// this process, whose program file name is imageName.
template <typename Visit>
void ForEachSessionProcess(const wchar_t* imageName, Visit visit)
{
    const DWORD self = GetCurrentProcessId();
    for (ProcessSnapshot snapshot; snapshot.Valid(); snapshot.Next()) {
        const PROCESSENTRY32W& entry = snapshot.Entry();
        if (entry.th32ProcessID == self || _wcsicmp(FileNameOf(entry.szExeFile), imageName) != 0) continue;
        if (!InThisSession(entry.th32ProcessID)) continue;
        if (!visit(entry.th32ProcessID)) return;
    }
}

// The opened process still runs imageName (its identifier was not reused).
bool RunsImage(const Process& process, const wchar_t* imageName)
{
    wchar_t path[MAX_PATH * 2] = {};
    const DWORD chars = GetProcessImageFileNameW(process, path, ARRAYSIZE(path));
    return chars > 0 && chars < ARRAYSIZE(path) && _wcsicmp(FileNameOf(path), imageName) == 0;
}

const DWORD kEndAccess = PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE;

}  // namespace

bool IsSessionProcessOf(DWORD processId, const wchar_t* imageName)
{
    Process process;
    return processId != GetCurrentProcessId() && InThisSession(processId) &&
           process.Open(processId, PROCESS_QUERY_INFORMATION, FALSE) && RunsImage(process, imageName);
}

bool EndSessionProcess(DWORD processId, const wchar_t* imageName)
{
    Process process;
    return processId != GetCurrentProcessId() && InThisSession(processId) &&
           process.Open(processId, kEndAccess, FALSE) && RunsImage(process, imageName) && process.IsRunning() &&
           TerminateProcess(process, 0);
}

bool SessionProcessRuns(const wchar_t* imageName)
{
    bool found = false;
    ForEachSessionProcess(imageName, [&found](DWORD) {
        found = true;
        return false;
    });
    return found;
}

int EndSessionProcesses(const wchar_t* imageName, DWORD graceMs)
{
    int ended = 0;
    ForEachSessionProcess(imageName, [&](DWORD processId) {
        Process process;
        if (!process.Open(processId, kEndAccess, FALSE))
            return true;
        if (!RunsImage(process, imageName) || !process.IsRunning()) return true;
        if (graceMs > 0 && process.Wait(graceMs) == WAIT_OBJECT_0) return true;
        if (TerminateProcess(process, 0)) ++ended;
        return true;
    });
    return ended;
}

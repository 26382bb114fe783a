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

// Calls visit(processId) for every snapshot entry of this session, other than
// this process, whose program file name is imageName.
template <typename Visit>
void ForEachSessionProcess(const wchar_t* imageName, Visit visit)
{
    const DWORD self = GetCurrentProcessId();
    DWORD session = 0;
    if (!ProcessIdToSessionId(self, &session)) return;
    for (ProcessSnapshot snapshot; snapshot.Valid(); snapshot.Next()) {
        const PROCESSENTRY32W& entry = snapshot.Entry();
        DWORD processSession = 0;
        if (entry.th32ProcessID == self || _wcsicmp(FileNameOf(entry.szExeFile), imageName) != 0) continue;
        if (!ProcessIdToSessionId(entry.th32ProcessID, &processSession) || processSession != session) continue;
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

}  // namespace

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
        if (!process.Open(processId, PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE))
            return true;
        if (!RunsImage(process, imageName) || !process.IsRunning()) return true;
        if (graceMs > 0 && process.Wait(graceMs) == WAIT_OBJECT_0) return true;
        if (TerminateProcess(process, 0)) ++ended;
        return true;
    });
    return ended;
}

// Polite closing of the browser windows (see the header).
#include "module/setup/BrowserWindows.h"

#include <algorithm>

#include "module/setup/SessionProcesses.h"

namespace {

const DWORD kPollMs = 100;

struct FrameSearch {
    const wchar_t* imageName;
    std::vector<HWND> frames;
};

BOOL CALLBACK CollectFrame(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<FrameSearch*>(context);
    wchar_t className[32] = {};
    if (!IsWindowVisible(window) || !GetClassNameW(window, className, ARRAYSIZE(className)) ||
        wcscmp(className, L"IEFrame") != 0)
        return TRUE;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (IsSessionProcessOf(processId, search->imageName)) search->frames.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> BrowserFrames(const wchar_t* imageName)
{
    FrameSearch search{imageName, {}};
    EnumWindows(&CollectFrame, reinterpret_cast<LPARAM>(&search));
    return search.frames;
}

BrowserCloseResult CloseBrowserWindows(const wchar_t* imageName, const BrowserCloseQuestions& ask, DWORD waitMs)
{
    std::vector<HWND> frames = BrowserFrames(imageName);
    if (frames.empty()) return BrowserCloseResult::NoneOpen;
    if (!ask.closeWindows(frames.size())) return BrowserCloseResult::Canceled;

    // Posted, not sent: a browser busy with a page must not block the setup.
    for (HWND frame : frames) PostMessageW(frame, WM_CLOSE, 0, 0);
    const DWORD start = GetTickCount();
    do {
        Sleep(kPollMs);
        frames = BrowserFrames(imageName);
    } while (!frames.empty() && GetTickCount() - start < waitMs);
    if (frames.empty()) return BrowserCloseResult::Closed;

    if (!ask.endPrograms(frames.size())) return BrowserCloseResult::Canceled;
    std::vector<DWORD> programs;
    for (HWND frame : frames) {
        DWORD processId = 0;
        GetWindowThreadProcessId(frame, &processId);
        if (std::find(programs.begin(), programs.end(), processId) == programs.end()) programs.push_back(processId);
    }
    for (DWORD processId : programs) EndSessionProcess(processId, imageName);
    return BrowserCloseResult::Ended;
}

// Closing the user's browser windows before an uninstall the way the user
// would: asked first, a close message to each frame window, a bounded wait,
// and only what is still open then ended, after a second question.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

// The visible top-level frame windows (class "IEFrame") of this session's
// processes, other than this one, that run imageName.
std::vector<HWND> BrowserFrames(const wchar_t* imageName);

// The two questions; each is given the number of windows and answers whether
// to go on.
struct BrowserCloseQuestions {
    std::function<bool(size_t windows)> closeWindows;  // before anything is closed
    std::function<bool(size_t windows)> endPrograms;   // windows still open after the wait
};

enum class BrowserCloseResult {
    NoneOpen,  // nothing was asked
    Closed,    // every window closed when asked to
    Ended,     // the programs of the windows left were ended
    Canceled,  // the user said no; what was still open is left as it is
};

// Closes the frames of imageName: nothing happens without a yes to the first
// question; each frame gets WM_CLOSE (so a page can still ask about unsaved
// text), then the frames are looked for again every 100 ms for at most
// waitMs; the processes of the frames still open are ended only after a yes
// to the second question.
BrowserCloseResult CloseBrowserWindows(const wchar_t* imageName, const BrowserCloseQuestions& ask, DWORD waitMs);

// The hidden child window the band places in the browser's toolbar area: it
// parents the toolbar window, so the commands and notifications the toolbar
// control sends to its parent come back to the toolbar object. It also runs
// work the band defers until the current call has returned.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>

#include "browser/VPToolbar.h"
#include "common/Locks.h"
#include "common/LogWriter.h"

class CReflectionWnd {
public:
    CReflectionWnd() = default;
    ~CReflectionWnd();
    CReflectionWnd(const CReflectionWnd&) = delete;
    CReflectionWnd& operator=(const CReflectionWnd&) = delete;

    // The window class name, made once per module.
    static const wchar_t* ClassName();

    // Creates the window (WS_CHILD, never shown) and the toolbar inside it;
    // false when either fails (nothing is left behind then).
    bool Create(HWND parent, const RECT& rect);
    void Destroy();
    HWND Window() const { return window_; }
    CVPToolbar& Toolbar() { return toolbar_; }

    // Runs task from this window's message loop, after the caller has returned.
    // The queue belongs to the window: a task never runs after the window is
    // destroyed (the queue is emptied then), and the tasks left behind a task
    // during which this object was destroyed do not run either.
    bool RunLater(std::function<void()> task);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void RunQueued();

    LogWriter log_{"CReflectionWnd"};
    HWND window_ = nullptr;
    CVPToolbar toolbar_;
    std::deque<std::function<void()>> queued_;
    // False from the destructor on; a task that runs may end this object.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

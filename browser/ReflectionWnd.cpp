// The reflection window: creation of the toolbar inside it, forwarding of
// every message to the toolbar object and the queue of deferred work.
#include "browser/ReflectionWnd.h"

#include <cwchar>

#include "common/ModuleInstance.h"

namespace {

const wchar_t kObjectProp[] = L"VpReflectionObject";
// Private message: run the queued tasks.
const UINT UM_RUN_QUEUED = WM_APP + 0x52;

}  // namespace

CReflectionWnd::~CReflectionWnd()
{
    *alive_ = false;
    Destroy();
}

const wchar_t* CReflectionWnd::ClassName()
{
    static const std::wstring name = [] {
        wchar_t text[128];
        swprintf(text, 128, L"REFLECTWINDOW:0x%lx", GetTickCount());
        LogWriter("CReflectionWnd").Write("CReflectionWnd class name: ", text);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &CReflectionWnd::WindowProc;
        wc.hInstance = ThisModule();
        wc.lpszClassName = text;
        RegisterClassExW(&wc);
        return std::wstring(text);
    }();
    return name.c_str();
}

bool CReflectionWnd::Create(HWND parent, const RECT& rect)
{
    Destroy();
    window_ = CreateWindowExW(0, ClassName(), L"", WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                              rect.bottom - rect.top, parent, nullptr, ThisModule(), this);
    if (window_ && toolbar_.Window()) return true;
    Destroy();
    return false;
}

void CReflectionWnd::Destroy()
{
    toolbar_.Destroy();
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
    queued_.clear();
}

bool CReflectionWnd::RunLater(std::function<void()> task)
{
    if (!window_) return false;
    queued_.push_back(std::move(task));
    if (PostMessageW(window_, UM_RUN_QUEUED, 0, 0)) return true;
    queued_.pop_back();
    return false;
}

void CReflectionWnd::RunQueued()
{
    const std::shared_ptr<bool> alive = alive_;
    while (*alive && !queued_.empty()) {
        std::function<void()> task = std::move(queued_.front());
        queued_.pop_front();
        task();
    }
}

LRESULT CALLBACK CReflectionWnd::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetPropW(window, kObjectProp, create->lpCreateParams);
        }
        auto* self = static_cast<CReflectionWnd*>(GetPropW(window, kObjectProp));
        if (message == WM_NCDESTROY) {
            RemovePropW(window, kObjectProp);
            if (self) {
                // Its message will not come any more.
                self->window_ = nullptr;
                self->queued_.clear();
            }
        } else if (self) {
            if (message == WM_NCCREATE) self->window_ = window;
            return self->HandleMessage(message, wParam, lParam);
        }
    } catch (...) {
        LogWriter("CReflectionWnd").Format("EXCEPTION in WindowProc %s", LogAddress(window).c_str());
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CReflectionWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        log_.Format("ReflectionWnd has been created %s. Creating toolbar...", LogAddress(window_).c_str());
        return toolbar_.Create(window_) ? 0 : -1;
    }
    if (message == UM_RUN_QUEUED) {
        RunQueued();
        return 0;
    }
    LRESULT result = 0;
    if (toolbar_.HandleMessage(message, wParam, lParam, result)) return result;
    return DefWindowProcW(window_, message, wParam, lParam);
}

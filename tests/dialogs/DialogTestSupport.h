// Support for the dialog tests: running a modal dialog under a script with a
// watchdog that keeps a stuck dialog from hanging the test, and a tag
// completion double that records what the dialogs ask of it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/DialogScript.h"
#include "dialogs/TagCompletion.h"
#include "resources/resource.h"

namespace vptest {

// Watches one image list of a list view: whether it still held images just
// after the list view ended, and whether it does now.
class ImageListWatch {
public:
    ImageListWatch(HWND list, int which) : images_(ListView_GetImageList(list, which))
    {
        SetWindowSubclass(list, &ImageListWatch::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    HIMAGELIST Images() const { return images_; }
    bool AliveAfterTheList() const { return aliveAfterList_; }
    bool AliveNow() const { return images_ && ImageList_GetImageCount(images_) > 0; }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
    {
        const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            auto* self = reinterpret_cast<ImageListWatch*>(data);
            self->aliveAfterList_ = self->AliveNow();
            RemoveWindowSubclass(window, &ImageListWatch::Proc, 1);
        }
        return result;
    }
    HIMAGELIST images_;
    bool aliveAfterList_ = false;
};

// If the dialog is still up when the time runs out, the watchdog presses
// Cancel on every window of the thread and remembers that it had to.
class DialogWatchdog {
public:
    explicit DialogWatchdog(DWORD threadId, std::chrono::milliseconds limit = std::chrono::seconds(20))
        : thread_([this, threadId, limit] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (done_.wait_for(lock, limit, [this] { return stopped_; })) return;
              fired_ = true;
              // Every top-level window of the test thread gets a Cancel and a close.
              EnumThreadWindows(threadId, [](HWND window, LPARAM) -> BOOL {
                  PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                  PostMessageW(window, WM_CLOSE, 0, 0);
                  return TRUE;
              }, 0);
          })
    {
    }
    ~DialogWatchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopped_ = true;
        }
        done_.notify_all();
        thread_.join();
    }
    bool Fired() const { return fired_; }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool stopped_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

// Runs a modal dialog (show() shows it and returns its result) with script,
// and checks that the script ran and closed the dialog by itself.
template <typename Dialog, typename Show>
auto RunScripted(Dialog& dialog, DialogScript script, Show show) -> decltype(show())
{
    bool ran = false;
    dialog.SetScript([&](HWND window, HWND panel) {
        ran = true;
        script(window, panel);
    });
    DialogWatchdog watchdog(GetCurrentThreadId());
    auto result = show();
    EXPECT_FALSE(watchdog.Fired()) << "the script did not close the dialog";
    EXPECT_TRUE(ran) << "the script never ran";
    return result;
}

// Selects exactly rows in a list view (none for an empty list), with the focus
// on each in turn.
inline void SelectRows(HWND list, const std::vector<int>& rows)
{
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int row : rows) ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

// A drag in a list of a dialog as the user makes it: the list view's start
// of a drag reaches the dialog, then the mouse moves to the middle of row.
// The button stays down; release it with WM_LBUTTONUP.
inline void DragRowsOver(HWND dialog, HWND list, int row)
{
    NMLISTVIEW start = {};
    start.hdr.hwndFrom = list;
    start.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
    start.hdr.code = LVN_BEGINDRAG;
    SendMessageW(dialog, WM_NOTIFY, start.hdr.idFrom, reinterpret_cast<LPARAM>(&start));
    RECT rect = {LVIR_BOUNDS, 0, 0, 0};
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    SendMessageW(list, WM_MOUSEMOVE, MK_LBUTTON,
                 MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
}

class FakeTagCompletion : public TagCompletion {
public:
    void Attach(HWND edit) override { attached = edit; }
    bool IsListOpen() const override { return listOpen; }
    void Remember(const std::wstring& text) override { remembered.push_back(text); }

    HWND attached = nullptr;
    bool listOpen = false;
    std::vector<std::wstring> remembered;
};

// A left click at point (client coordinates) of window.
inline void ClickAt(HWND window, POINT point)
{
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
}

// Types text into a row's own tags in the tags dialog the way the user does:
// Enter on the focused row opens its editor, Enter in the editor keeps the text.
inline void EditTagRow(HWND dialog, int row, const wchar_t* text)
{
    HWND list = GetDlgItem(dialog, IDC_TAGS_LIST);
    SetFocus(list);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    HWND editor = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
    ASSERT_TRUE(editor) << "Enter on the list did not open the row's editor";
    SetWindowTextW(editor, text);
    SendMessageW(editor, WM_KEYDOWN, VK_RETURN, 0);
}

}  // namespace vptest

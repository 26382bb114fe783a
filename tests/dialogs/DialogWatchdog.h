// Keeps a scripted modal dialog from hanging a test: if the dialog is still
// up when the time runs out, the watchdog presses Cancel on it (and on every
// window of the thread's dialog chain) and remembers that it had to.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vptest {

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

}  // namespace vptest

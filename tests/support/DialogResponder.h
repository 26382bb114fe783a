// Answers the modal dialogs a road opens deep inside the product, as a user
// would: a watcher thread finds each dialog of this process with a given
// caption once it shows, lets the test read it, then presses a button.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace vptest {

class DialogResponder {
public:
    // read runs on the watcher thread before the button is pressed. With a
    // control id, only dialogs that have that control are answered.
    DialogResponder(std::wstring caption, UINT button, std::function<void(HWND dialog)> read = {},
                    int control = 0);
    ~DialogResponder();
    DialogResponder(const DialogResponder&) = delete;
    DialogResponder& operator=(const DialogResponder&) = delete;

    // How many dialogs were answered so far.
    int Answered() const { return answered_; }

private:
    void Watch();

    std::wstring caption_;
    UINT button_;
    std::function<void(HWND)> read_;
    int control_;
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    std::vector<HWND> seen_;
    std::thread thread_;
};

// The visible dialogs of this process with the caption. Tests share one
// desktop, so a dialog of another test program is never theirs to answer.
std::vector<HWND> OwnDialogs(const std::wstring& caption);

// The rows of a report list view as "column 0|column 1" texts.
std::vector<std::wstring> ListRows(HWND list);

}  // namespace vptest

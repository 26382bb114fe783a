// Answers modal dialogs by caption (see the header).
#include "support/DialogResponder.h"

#include <commctrl.h>

#include <algorithm>

namespace vptest {

namespace {

struct Search {
    const std::wstring* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t text[256] = {}, className[16] = {};
    if (process == GetCurrentProcessId() && IsWindowVisible(window) && GetClassNameW(window, className, 16) &&
        std::wstring(className) == L"#32770" && GetWindowTextW(window, text, 256) >= 0 && *search->caption == text)
        search->found.push_back(window);
    return TRUE;
}

}  // namespace

std::vector<HWND> OwnDialogs(const std::wstring& caption)
{
    Search search{&caption, {}};
    EnumWindows(&Collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

DialogResponder::DialogResponder(std::wstring caption, UINT button, std::function<void(HWND)> read, int control)
    : caption_(std::move(caption)), button_(button), read_(std::move(read)), control_(control),
      thread_([this] { Watch(); })
{
}

DialogResponder::~DialogResponder()
{
    stop_ = true;
    thread_.join();
}

void DialogResponder::Watch()
{
    while (!stop_) {
        // A handle of a closed dialog may come back for the next one.
        seen_.erase(std::remove_if(seen_.begin(), seen_.end(), [](HWND window) { return !IsWindow(window); }),
                    seen_.end());
        for (HWND dialog : OwnDialogs(caption_)) {
            if (std::find(seen_.begin(), seen_.end(), dialog) != seen_.end()) continue;
            if (control_ && !GetDlgItem(dialog, control_)) continue;
            seen_.push_back(dialog);
            if (read_) read_(dialog);
            ++answered_;
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
        }
        Sleep(50);
    }
}

std::vector<std::wstring> ListRows(HWND list)
{
    std::vector<std::wstring> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::wstring row;
        for (int column = 0; column < 2; ++column) {
            wchar_t text[512] = {};
            LVITEMW item = {};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 512;
            SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            row += (column ? L"|" : L"") + std::wstring(text);
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace vptest

// The file dialog script (see the header).
#include "support/FileChoice.h"

#include <windows.h>
#include <dlgs.h>

namespace vptest {

DialogScript ChooseFiles(const std::vector<std::wstring>& paths)
{
    return [paths](HWND dialog, HWND) {
        std::wstring names;
        for (const std::wstring& path : paths) {
            const size_t slash = path.find_last_of(L"\\/");
            if (paths.size() == 1) {
                names = path;
            } else {
                // The dialog reads quoted names in its current folder.
                if (slash != std::wstring::npos) SetCurrentDirectoryW(path.substr(0, slash).c_str());
                names += L"\"" + path.substr(slash == std::wstring::npos ? 0 : slash + 1) + L"\" ";
            }
        }
        for (int id : {edt1, cmb13})
            if (HWND box = GetDlgItem(dialog, id)) SetWindowTextW(box, names.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    };
}

}  // namespace vptest

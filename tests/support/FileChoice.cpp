// The file dialog script (see the header).
#include "support/FileChoice.h"

#include <windows.h>
#include <dlgs.h>

namespace vptest {

DialogScript ChooseFiles(const std::vector<std::wstring>& paths)
{
    return [paths](HWND dialog, HWND) {
        auto type = [dialog](const std::wstring& text) {
            for (int id : {edt1, cmb13})
                if (HWND box = GetDlgItem(dialog, id)) SetWindowTextW(box, text.c_str());
        };
        std::wstring names;
        for (const std::wstring& path : paths) {
            const size_t slash = path.find_last_of(L"\\/");
            if (paths.size() == 1) {
                names = path;
            } else {
                // Quoted names are read in the folder the dialog shows: a
                // folder typed and confirmed first becomes that folder.
                if (slash != std::wstring::npos && names.empty()) {
                    type(path.substr(0, slash));
                    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                }
                names += L"\"" + path.substr(slash == std::wstring::npos ? 0 : slash + 1) + L"\" ";
            }
        }
        type(names);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    };
}

}  // namespace vptest

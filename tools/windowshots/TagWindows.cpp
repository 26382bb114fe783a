// Window shots of the tag dialogs: the one-picture dialog at a point of the
// screen, and the tags dialog with three pictures, some with tags of their own.
#include "tools/windowshots/WindowShots.h"

#include <commctrl.h>

#include "dialogs/TagDlg.h"
#include "dialogs/TagsDlg.h"
#include "engine/GdiplusSession.h"
#include "resources/resource.h"
#include "support/Pictures.h"
#include "support/TempFolder.h"

void OpenTagWindow()
{
    CTagDlg dialog(POINT{120, 90}, L"sunset, beach");
    dialog.DoModal(nullptr);
}

void OpenTagsWindow()
{
    vptest::TempFolder folder;
    const std::vector<std::wstring> pictures = {folder.File(L"harbour.jpg"), folder.File(L"tower.png"),
                                                folder.File(L"garden.jpg")};
    {
        GdiplusSession session;
        vptest::MakePicture(pictures[0], 640, 480, Gdiplus::ImageFormatJPEG);
        vptest::MakePicture(pictures[1], 300, 600, Gdiplus::ImageFormatPNG);
        vptest::MakePicture(pictures[2], 800, 500, Gdiplus::ImageFormatJPEG);
    }
    CTagsDlg dialog(pictures, L"holiday 2026", true);
    dialog.SetScript([](HWND window, HWND) {
        HWND list = GetDlgItem(window, IDC_TAGS_LIST);
        ListView_SetItemText(list, 0, 0, const_cast<wchar_t*>(L"harbour, boats"));
        ListView_SetItemText(list, 2, 0, const_cast<wchar_t*>(L"garden"));
        ListView_SetCheckState(list, 1, FALSE);
        ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        SetFocus(list);
    });
    dialog.DoModal(nullptr);
}

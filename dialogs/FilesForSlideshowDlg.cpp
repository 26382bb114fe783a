// The slideshow file dialog (see the header). The panel of template 240 sits
// inside the open-file dialog; its hook finds the object through the
// OPENFILENAMEW it gets at WM_INITDIALOG and keeps it until the panel goes.
#include "dialogs/FilesForSlideshowDlg.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>


#include "common/LogWriter.h"
#include "common/TextConvert.h"
#include "dialogs/FilesForUploadDlg.h"
#include "dialogs/SizeLists.h"
#include "resources/resource.h"

namespace {

// A child's rectangle in the coordinates of another window.
bool RectIn(HWND control, HWND window, RECT& rect)
{
    if (!control || !GetWindowRect(control, &rect)) return false;
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return true;
}

// The height a drop-down list is given: its open list included.
int DroppedHeight(HWND combo, int shownHeight)
{
    HWND inner = reinterpret_cast<HWND>(SendMessageW(combo, CBEM_GETCOMBOCONTROL, 0, 0));
    RECT dropped;
    if (SendMessageW(inner ? inner : combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped)) &&
        dropped.bottom - dropped.top > shownHeight)
        return dropped.bottom - dropped.top;
    return shownHeight;
}

}  // namespace

RECT AlignedToColumn(const RECT& own, const RECT& column)
{
    return RECT{column.left, own.top, column.right, own.bottom};
}

CFilesForSlideshowDlg::CFilesForSlideshowDlg(HWND owner) : DialogWindow("CFilesForSlideshowDlg"), owner_(owner)
{
    sizeIndex = SlideshowChoiceLists::kDefaultSizeIndex;
    sizeText = ListText(SlideshowSizeTexts(), sizeIndex);
}

bool CFilesForSlideshowDlg::Run()
{
    OpenFileDialogSetup setup;
    setup.owner = owner_;
    setup.filter = LoadModuleString(IDS_FILTER_PICTURES);
    if (setup.filter.empty()) setup.filter = L"Image files|*.jpg;*.jpeg;*.jpe;*.png;*.gif;*.bmp;*.tif;*.tiff|";
    setup.title = LoadModuleString(IDS_FILE_DIALOG_TITLE);
    if (setup.title.empty()) setup.title = L"Upload files";
    setup.flags = CFilesForUploadDlg::kFlags | OFN_ALLOWMULTISELECT;
    setup.panelTemplate = IDD_FILES_FOR_SLIDESHOW;
    setup.hook = PanelProc;
    setup.data = PanelData();
    files_ = ShowOpenFileDialog(setup, "CFilesForSlideshowDlg");
    return !files_.empty();
}

INT_PTR CFilesForSlideshowDlg::OnMessage(UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SlideshowChoiceLists::FillSizes(window_, sizeIndex);
        lists_.FillLook(window_, effectIndex, backgroundIndex);
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == CDN_INITDONE) {
            AlignWithFileDialog();
            ScheduleScript();
        } else if (header->code == CDN_FILEOK) {
            SlideshowChoiceLists::ReadSize(window_, *this);
            SlideshowChoiceLists::ReadLook(window_, *this);
        }
        return FALSE;  // accept the choice
    }
    case UM_RUN_DIALOG_SCRIPT:
        RunScript(GetParent(window_));
        return TRUE;
    case WM_SIZE:
        AlignWithFileDialog();
        return FALSE;
    }
    return FALSE;
}

void CFilesForSlideshowDlg::AlignWithFileDialog()
{
    HWND dialog = GetParent(window_);
    RECT labels, inputs;
    // The file name box is a combo box, or an edit box in older dialogs; the
    // dialog is not shown yet, so the box's own style tells which one shows.
    HWND nameBox = GetDlgItem(dialog, cmb13);
    if (!nameBox || !(GetWindowLongW(nameBox, GWL_STYLE) & WS_VISIBLE)) nameBox = GetDlgItem(dialog, edt1);
    if (!RectIn(GetDlgItem(dialog, stc3), window_, labels) || !RectIn(nameBox, window_, inputs)) return;
    for (int id : {IDC_SIZE_LABEL, IDC_EFFECT_LABEL, IDC_BACKGROUND_LABEL}) {
        RECT own;
        if (!RectIn(GetDlgItem(window_, id), window_, own)) continue;
        RECT place = AlignedToColumn(own, labels);
        MoveWindow(GetDlgItem(window_, id), place.left, place.top, place.right - place.left, place.bottom - place.top,
                   TRUE);
    }
    for (int id : {IDC_SIZE_LIST, IDC_EFFECT, IDC_BACKGROUND}) {
        HWND list = GetDlgItem(window_, id);
        RECT own;
        if (!RectIn(list, window_, own)) continue;
        RECT place = AlignedToColumn(own, inputs);
        MoveWindow(list, place.left, place.top, place.right - place.left, DroppedHeight(list, own.bottom - own.top),
                   TRUE);
    }
}

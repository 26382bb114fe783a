// The warning about files that will not be uploaded (see the header).
#include "dialogs/WarningDlg.h"

#include <commctrl.h>

#include "common/TextConvert.h"
#include "resources/resource.h"

namespace {

void AddColumn(HWND list, int index, UINT titleId, int width)
{
    std::wstring title = LoadModuleString(titleId);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = title.data();
    column.cx = width;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

}  // namespace

CWarningDlg::CWarningDlg(std::vector<std::wstring> paths, FileTypeMode mode)
    : CModalDialog(IDD_WARNING, "CWarningDlg"), paths_(std::move(paths)), mode_(mode)
{
}

bool CWarningDlg::Confirm(HWND owner, std::vector<std::wstring> paths, FileTypeMode mode)
{
    CWarningDlg dialog(std::move(paths), mode);
    return dialog.DoModal(owner) == IDOK;
}

bool CWarningDlg::ConfirmSlideshowFiles(HWND owner, const std::vector<std::wstring>& unsupported)
{
    return Confirm(owner, unsupported, FileTypeMode::ImagesOnly);
}

bool CWarningDlg::ConfirmUploadFiles(const std::vector<std::wstring>& paths)
{
    return Confirm(GetActiveWindow(), paths, FileTypeMode::Normal);
}

void CWarningDlg::OnInitDialog()
{
    HWND list = GetDlgItem(Window(), IDC_WARNING_LIST);
    AddColumn(list, 0, IDS_WARNING_FILE_COLUMN, 250);
    AddColumn(list, 1, IDS_WARNING_DESCRIPTION_COLUMN, 150);
    // The file-type test is the only one that refuses a file before the
    // upload, so every listed file is of an unsupported type.
    std::wstring reason = LoadModuleString(IDS_UNSUPPORTED_FILE_TYPE);
    int row = 0;
    for (std::wstring path : paths_) {
        if (!CFileUploadStrategy::IsRejectedPath(path, mode_)) continue;
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = path.data();
        row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item))) + 1;
        if (row <= 0) break;
        item.iItem = row - 1;
        item.iSubItem = 1;
        item.pszText = reason.data();
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row - 1), reinterpret_cast<LPARAM>(&item));
    }
}

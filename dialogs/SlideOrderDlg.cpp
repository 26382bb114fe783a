// The slide order dialog (see the header). The list control carries the
// rows; each row's item data is the index of its path in the record, so the
// new order is read back from the rows however they were moved.
#include "dialogs/SlideOrderDlg.h"


#include "common/LogWriter.h"
#include "common/ModuleInstance.h"
#include "common/TextConvert.h"
#include "dialogs/DialogControls.h"
#include "dialogs/SlideThumbnails.h"
#include "resources/resource.h"

namespace {

const int kFileColumnWidth = 400;

}  // namespace

std::vector<std::wstring> ReorderedPaths(const std::vector<std::wstring>& paths, const std::vector<LPARAM>& rowData)
{
    std::vector<std::wstring> ordered;
    std::vector<bool> used(paths.size(), false);
    for (LPARAM data : rowData) {
        if (data < 0 || static_cast<size_t>(data) >= paths.size() || used[static_cast<size_t>(data)]) continue;
        used[static_cast<size_t>(data)] = true;
        ordered.push_back(paths[static_cast<size_t>(data)]);
    }
    for (size_t i = 0; i < paths.size(); ++i)
        if (!used[i]) ordered.push_back(paths[i]);
    return ordered;
}

std::wstring SlideFileName(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

CSlideOrderDlg::CSlideOrderDlg(std::vector<std::wstring> paths) : ScriptedDialog("CSlideOrderDlg")
{
    images = std::move(paths);
}

CSlideOrderDlg::~CSlideOrderDlg()
{
    if (thumbnails_) ImageList_Destroy(thumbnails_);
}

UINT CSlideOrderDlg::TemplateId() const
{
    return IDD_SLIDE_ORDER;
}

UINT CSlideOrderDlg::ColumnTextId() const
{
    return IDS_SLIDE_ORDER_FILE_COLUMN;
}

INT_PTR CSlideOrderDlg::DoModal(HWND owner)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&controls);
    INT_PTR result = ShowModal(TemplateId(), owner);
    if (thumbnails_) ImageList_Destroy(thumbnails_);
    thumbnails_ = nullptr;
    return result;
}

INT_PTR CSlideOrderDlg::OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->hwndFrom == list_.Window() && header->code == LVN_BEGINDRAG) list_.BeginDrag();
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnContinue();
            return TRUE;
        case IDCANCEL:
            EndDialog(window_, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void CSlideOrderDlg::OnInitDialog()
{
    HWND list = GetDlgItem(window_, IDC_IMAGE_LIST);
    list_.Attach(list);
    std::wstring title = LoadModuleString(ColumnTextId());
    if (title.empty()) title = L"File Name";
    SetUpListColumn(list, title, kFileColumnWidth, LVS_EX_FULLROWSELECT);
    thumbnails_ = CreateSlideThumbnails(images, &loaded_);
    // The dialog owns the thumbnails and destroys them after the list is gone.
    SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    if (thumbnails_) SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(thumbnails_));
    for (size_t i = 0; i < images.size(); ++i) {
        std::wstring text = RowText(images[i]);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = &text[0];
        item.iImage = static_cast<int>(i);
        item.lParam = static_cast<LPARAM>(i);
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    InitChoices();
}

void CSlideOrderDlg::OnContinue()
{
    HWND list = GetDlgItem(window_, IDC_IMAGE_LIST);
    std::vector<LPARAM> rowData;
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        rowData.push_back(SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam : -1);
    }
    images = ReorderedPaths(images, rowData);
    ReadChoices();
    EndDialog(window_, IDOK);
}

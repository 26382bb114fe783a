// The tags dialog (see the header).
#include "dialogs/TagsDlg.h"

#include "common/TextConvert.h"
#include "dialogs/DialogControls.h"
#include "dialogs/TagThumbnails.h"
#include "dialogs/TagsAutoComplete.h"
#include "engine/FileUploaderDialogs.h"
#include "resources/resource.h"

std::wstring CombinedTags(const std::wstring& rowText, const std::wstring& commonText)
{
    if (rowText.empty()) return commonText;
    if (commonText.empty()) return rowText;
    return rowText + L" " + commonText;
}

CTagsDlg::CTagsDlg(std::vector<std::wstring> pictures, std::wstring commonTags, bool isPublic, HIMAGELIST thumbnails,
                   TagCompletion* completion)
    : ScriptedDialog("CTagsDlg"),
      commonTags_(std::move(commonTags)),
      pictures_(std::move(pictures)),
      tags_(pictures_.size()),
      permissions_(pictures_.size(), isPublic),
      callerThumbnails_(thumbnails),
      completion_(completion)
{
}

CTagsDlg::~CTagsDlg()
{
    if (ownThumbnails_) ImageList_Destroy(ownThumbnails_);
}

INT_PTR CTagsDlg::DoModal(HWND owner)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    ScopedTagCompletion completion(completion_);
    const INT_PTR result = ShowModal(IDD_TAGS, owner);
    list_.Release();
    return result;
}

INT_PTR CTagsDlg::OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID != IDC_TAGS_LIST) return FALSE;
        list_.Draw(*item);
        SetWindowLongPtrW(window_, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (item->CtlID != IDC_TAGS_LIST) return FALSE;
        item->itemHeight = TagRowLayout::kThumbnailSize + 2;
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != IDC_TAGS_LIST) return FALSE;
        if (header->code == LVN_BEGINLABELEDITW) {
            SetWindowLongPtrW(window_, DWLP_MSGRESULT, FALSE);  // editing may always start
            return TRUE;
        }
        if (header->code == LVN_ENDLABELEDITW) {
            // A text (even an empty one) becomes the row's text; Escape keeps the old one.
            const auto* edit = reinterpret_cast<const NMLVDISPINFOW*>(lParam);
            SetWindowLongPtrW(window_, DWLP_MSGRESULT, edit->item.pszText ? TRUE : FALSE);
            return TRUE;
        }
        return FALSE;
    }
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return FALSE;
    case WM_GETMINMAXINFO: {
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        if (minimumWindow_.cx > 0) {
            limits->ptMinTrackSize.x = minimumWindow_.cx;
            limits->ptMinTrackSize.y = minimumWindow_.cy;
        }
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnEnter();
            return TRUE;
        case IDC_TAGS_OK:
            if (HIWORD(wParam) == BN_CLICKED) OnOk();
            return TRUE;
        case IDCANCEL:
            EndEditing();
            EndDialog(window_, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY: {
        if (tips_) DestroyWindow(tips_);
        tips_ = nullptr;
        // The list shares its image lists (the thumbnails may be lent), so the
        // check-box states it made for itself are freed here.
        const HIMAGELIST states = ListView_SetImageList(GetDlgItem(window_, IDC_TAGS_LIST), nullptr, LVSIL_STATE);
        if (states) ImageList_Destroy(states);
        return FALSE;
    }
    }
    return FALSE;
}

void CTagsDlg::OnInitDialog()
{
    HWND list = GetDlgItem(window_, IDC_TAGS_LIST);
    list_.Subclass(list);
    SetDlgItemTextW(window_, IDC_COMMON_TAGS, commonTags_.c_str());

    // Resizing: the list grows both ways, the common tags move down (the edit
    // also grows in width), the buttons keep to the bottom right corner.
    RECT client = {};
    GetClientRect(window_, &client);
    startClient_ = {client.right, client.bottom};
    RECT window = {};
    GetWindowRect(window_, &window);
    minimumWindow_ = {window.right - window.left, window.bottom - window.top};
    const Anchor rules[] = {
        {IDC_TAGS_LIST, {}, false, false, true, true},   {IDC_COMMON_TAGS, {}, false, true, true, false},
        {IDC_COMMON_TAGS_LABEL, {}, false, true, false, false}, {IDC_TAGS_OK, {}, true, true, false, false},
        {IDCANCEL, {}, true, true, false, false},
    };
    for (Anchor anchor : rules) {
        HWND control = GetDlgItem(window_, anchor.id);
        GetWindowRect(control, &anchor.start);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&anchor.start), 2);
        anchors_.push_back(anchor);
    }
    const int gripSize = GetSystemMetrics(SM_CXVSCROLL);
    grip_ = CreateWindowExW(0, L"SCROLLBAR", nullptr, WS_CHILD | WS_VISIBLE | SBS_SIZEGRIP | SBS_SIZEBOXBOTTOMRIGHTALIGN,
                            client.right - gripSize, client.bottom - gripSize, gripSize, gripSize, window_, nullptr,
                            nullptr, nullptr);

    FillList();
    CreateTips();
    if (completion_) completion_->Attach(GetDlgItem(window_, IDC_COMMON_TAGS));
}

void CTagsDlg::FillList()
{
    HWND list = list_.Window();
    HIMAGELIST thumbnails = callerThumbnails_;
    if (!thumbnails) {
        if (!ownThumbnails_) ownThumbnails_ = MakeTagThumbnails(pictures_);
        thumbnails = ownThumbnails_;
    }
    // The list must not destroy an image list it was lent.
    SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    if (thumbnails) SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(thumbnails));
    const int images = thumbnails ? ImageList_GetImageCount(thumbnails) : 0;
    for (size_t i = 0; i < pictures_.size(); ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(L"");
        item.iImage = static_cast<int>(i) < images ? static_cast<int>(i) : I_IMAGENONE;
        item.lParam = static_cast<LPARAM>(i);
        const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (row >= 0) ListView_SetCheckState(list, row, permissions_[i] ? TRUE : FALSE);
    }
    SendMessageW(list, LVM_ENSUREVISIBLE, 0, FALSE);
}

void CTagsDlg::CreateTips()
{
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_BALLOON | TTS_ALWAYSTIP,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, nullptr,
                            nullptr);
    if (!tips_) return;
    const std::pair<int, UINT> tools[] = {{IDC_TAGS_LIST, IDS_TAGS_LIST_TIP}, {IDC_COMMON_TAGS, IDS_COMMON_TAGS_TIP}};
    for (const auto& tool : tools) {
        std::wstring text = LoadModuleString(tool.second);
        TOOLINFOW info = {};
        info.cbSize = sizeof(info);
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = window_;
        info.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window_, tool.first));
        info.lpszText = &text[0];
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 300);
    SendMessageW(tips_, TTM_ACTIVATE, TRUE, 0);
}

void CTagsDlg::OnEnter()
{
    HWND focus = GetFocus();
    HWND common = GetDlgItem(window_, IDC_COMMON_TAGS);
    HWND list = list_.Window();
    if (focus == common && completion_ && completion_->IsListOpen()) {
        SendMessageW(common, WM_KEYDOWN, VK_RETURN, 0);
        return;
    }
    if (focus == list) {
        int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        if (row < 0) row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        if (row >= 0) SendMessageW(list, LVM_EDITLABELW, static_cast<WPARAM>(row), 0);
    }
}

void CTagsDlg::OnOk()
{
    EndEditing();
    commonTags_ = ControlText(window_, IDC_COMMON_TAGS);
    if (completion_) completion_->Remember(commonTags_);
    HWND list = list_.Window();
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) continue;
        const size_t index = static_cast<size_t>(item.lParam);
        if (index >= pictures_.size()) continue;
        permissions_[index] = list_.IsPublic(row);
        tags_[index] = CombinedTags(list_.RowText(row), commonTags_);
    }
    EndDialog(window_, IDOK);
}

void CTagsDlg::EndEditing()
{
    HWND list = list_.Window();
    if (list && SendMessageW(list, LVM_GETEDITCONTROL, 0, 0))
        SendMessageW(list, LVM_CANCELEDITLABEL, 0, 0);
}

void CTagsDlg::OnSize(int width, int height)
{
    if (startClient_.cx == 0) return;
    const int dx = width - startClient_.cx, dy = height - startClient_.cy;
    HDWP moves = BeginDeferWindowPos(static_cast<int>(anchors_.size()) + 1);
    for (const Anchor& anchor : anchors_) {
        RECT to = anchor.start;
        if (anchor.moveX) OffsetRect(&to, dx, 0);
        if (anchor.moveY) OffsetRect(&to, 0, dy);
        if (anchor.growX) to.right += dx;
        if (anchor.growY) to.bottom += dy;
        if (moves)
            moves = DeferWindowPos(moves, GetDlgItem(window_, anchor.id), nullptr, to.left, to.top, to.right - to.left,
                                   to.bottom - to.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (grip_ && moves) {
        const int gripSize = GetSystemMetrics(SM_CXVSCROLL);
        moves = DeferWindowPos(moves, grip_, nullptr, width - gripSize, height - gripSize, gripSize, gripSize,
                               SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves) EndDeferWindowPos(moves);
    InvalidateRect(window_, nullptr, TRUE);
}

HRESULT RunTagsDialog(HWND owner, const std::vector<std::wstring>& files, const std::wstring& tags, bool isPublic,
                      TagsDialogChoice& choice, DialogScript script)
{
    CTagsDlg dialog(files, tags, isPublic);
    if (script) dialog.SetScript(std::move(script));
    const INT_PTR result = dialog.DoModal(owner);
    if (result == -1) return E_FAIL;
    if (result != IDOK) return S_FALSE;
    choice.tags = dialog.Tags();
    choice.publicFlags = dialog.Permissions();
    return S_OK;
}

// The one-picture tag dialog (see the header).
#include "dialogs/TagDlg.h"

#include "dialogs/BorderlessLook.h"
#include "dialogs/DialogControls.h"
#include "dialogs/TagsAutoComplete.h"
#include "module/resource.h"

CTagDlg::CTagDlg(POINT at, std::wstring tags, TagCompletion* completion)
    : at_(at), tags_(std::move(tags)), completion_(completion)
{
}

INT_PTR CTagDlg::DoModal(HWND owner)
{
    ScopedTagCompletion completion(completion_);
    return ShowModal(owner, IDD_TAG);
}

INT_PTR CTagDlg::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_NCHITTEST) return DragAnywhere(dialog_);
    switch (message) {
    case WM_INITDIALOG: {
        ApplyBorderlessLook(dialog_, at_);
        HWND edit = GetDlgItem(dialog_, IDC_TAG_TEXT);
        SetWindowTextW(edit, tags_.c_str());
        if (completion_) completion_->Attach(edit);
        SetFocus(edit);
        return FALSE;  // the focus is set
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOk();
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog_, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void CTagDlg::OnOk()
{
    HWND edit = GetDlgItem(dialog_, IDC_TAG_TEXT);
    tags_ = ControlText(dialog_, IDC_TAG_TEXT);
    if (completion_ && completion_->IsListOpen()) {
        // Enter picks the suggestion; the dialog stays.
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        return;
    }
    if (completion_ && !tags_.empty()) completion_->Remember(tags_);
    EndDialog(dialog_, IDOK);
}

// The one-picture tag dialog (see the header).
#include "dialogs/TagDlg.h"

#include "dialogs/BorderlessLook.h"
#include "dialogs/DialogControls.h"
#include "dialogs/TagsAutoComplete.h"
#include "resources/resource.h"

CTagDlg::CTagDlg(POINT at, std::wstring tags, TagCompletion* completion)
    : ScriptedDialog("CTagDlg"), at_(at), tags_(std::move(tags)), completion_(completion)
{
}

INT_PTR CTagDlg::DoModal(HWND owner)
{
    ScopedTagCompletion completion(completion_);
    return ShowModal(IDD_TAG, owner);
}

INT_PTR CTagDlg::OnDialogMessage(UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_NCHITTEST) return DragAnywhere(window_);
    switch (message) {
    case WM_INITDIALOG: {
        ApplyBorderlessLook(window_, at_);
        HWND edit = GetDlgItem(window_, IDC_TAG_TEXT);
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
            EndDialog(window_, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void CTagDlg::OnOk()
{
    HWND edit = GetDlgItem(window_, IDC_TAG_TEXT);
    tags_ = ControlText(window_, IDC_TAG_TEXT);
    if (completion_ && completion_->IsListOpen()) {
        // Enter picks the suggestion; the dialog stays.
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        return;
    }
    if (completion_ && !tags_.empty()) completion_->Remember(tags_);
    EndDialog(window_, IDOK);
}

// The small borderless dialog that asks for the tags of one picture, opened at
// the mouse by the tag commands of the right-click menus.
#pragma once

#include <windows.h>

#include <string>

#include "dialogs/ScriptedDialog.h"

class TagCompletion;

class CTagDlg : public ScriptedDialog {
public:
    // at: screen position of the dialog's top left corner (kept on the screen).
    // Without a completion the dialog makes its own over the remembered tags.
    explicit CTagDlg(POINT at, std::wstring tags = std::wstring(), TagCompletion* completion = nullptr);

    // IDOK (1) or IDCANCEL (2); -1 when the dialog cannot be created.
    INT_PTR DoModal(HWND owner);
    // The text entered, as typed.
    const std::wstring& Tags() const { return tags_; }

private:
    INT_PTR OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnOk();

    POINT at_;
    std::wstring tags_;
    TagCompletion* completion_;
};

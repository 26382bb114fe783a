// The login invitation shown instead of the tag dialog when the user is not
// logged in: Register opens the service's page for an account in a new
// browser window. Borderless, opened where the user clicked.
#pragma once

#include "dialogs/ModalDialog.h"

class CRegisterDlg : public CModalDialog {
public:
    // at: the screen position to open at (moved inward to be fully visible).
    explicit CRegisterDlg(POINT at);

protected:
    void OnInitDialog() override;
    void OnCommand(UINT id) override;
    INT_PTR OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    POINT at_;
};

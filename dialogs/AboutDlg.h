// The about box of the product menu and the update check's question: both
// on the light grey brush, closed by their buttons.
#pragma once

#include "dialogs/ModalDialog.h"

// Shows the product version of the module's version resource.
class CAboutDlg : public CBrushedDialog {
public:
    CAboutDlg();

protected:
    void OnInitDialog() override;
};

// "New version ... is available!": IDOK (Update) or IDCANCEL.
class CUpdateDlg : public CBrushedDialog {
public:
    CUpdateDlg();
};

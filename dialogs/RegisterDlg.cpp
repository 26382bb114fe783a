// The login invitation (see the header).
#include "dialogs/RegisterDlg.h"

#include "common/ServiceUrl.h"
#include "dialogs/BorderlessLook.h"
#include "dialogs/BrowserWindow.h"
#include "resources/resource.h"

CRegisterDlg::CRegisterDlg(POINT at) : CModalDialog(IDD_REGISTER, "CRegisterDlg"), at_(at) {}

void CRegisterDlg::OnInitDialog() { ApplyBorderlessLook(Window(), at_); }

void CRegisterDlg::OnCommand(UINT id)
{
    if (id == IDOK) {
        // The account page; a browser that cannot be opened closes the dialog all the same.
        HRESULT hr = OpenInNewBrowserWindow(ServiceUrl(IDS_MY_IMAGES_URL));
        if (FAILED(hr)) Log().Format("FAILED to open the account page, 0x%x", static_cast<unsigned>(hr));
    }
    CModalDialog::OnCommand(id);
}

INT_PTR CRegisterDlg::OnOtherMessage(UINT message, WPARAM, LPARAM)
{
    return message == WM_NCHITTEST ? DragAnywhere(Window()) : FALSE;
}

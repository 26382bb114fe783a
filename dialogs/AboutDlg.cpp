// The about box and the update question (see the header).
#include "dialogs/AboutDlg.h"

#include "common/VersionStrings.h"
#include "resources/resource.h"

CAboutDlg::CAboutDlg() : CBrushedDialog(IDD_ABOUT, "CAboutDlg") {}

void CAboutDlg::OnInitDialog()
{
    const std::wstring& version = VersionStrings::ProductVersion();
    if (!version.empty()) SetDlgItemTextW(Window(), IDC_ABOUT_VERSION, (L"Version " + version).c_str());
}

CUpdateDlg::CUpdateDlg() : CBrushedDialog(IDD_UPDATE, "CUpdateDlg") {}

// The warning, about and login dialogs as the user sees them: what they list
// and show, where they open, and what their buttons answer and open.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "common/ServiceUrl.h"
#include "common/VersionStrings.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/BorderlessLook.h"
#include "dialogs/BrowserWindow.h"
#include "dialogs/DialogTestSupport.h"
#include "dialogs/RegisterDlg.h"
#include "dialogs/WarningDlg.h"
#include "resources/resource.h"
#include "support/DialogResponder.h"

namespace vptest {
namespace {

void Press(HWND dialog, UINT button) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

TEST(WarningDlgTest, ListsOnlyTheFilesThatFailTheTestAndAnswersWithTheButton)
{
    using Mode = CWarningDlg::FileTypeMode;
    const std::vector<std::wstring> chosen = {L"C:\\a\\beach.jpg", L"C:\\a\\notes.txt", L"C:\\a\\clip.flv",
                                              L"C:\\a\\data.bin"};
    std::vector<std::wstring> rows;
    CWarningDlg pictures(chosen, Mode::ImagesOnly);
    EXPECT_EQ(IDOK, RunScripted(pictures, [&](HWND dialog, HWND) {
        rows = ListRows(GetDlgItem(dialog, IDC_WARNING_LIST));
        Press(dialog, IDOK);
    }, [&] { return pictures.DoModal(nullptr); }));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\a\\notes.txt|Unsupported file type",
                                         L"C:\\a\\clip.flv|Unsupported file type",
                                         L"C:\\a\\data.bin|Unsupported file type"}),
              rows);

    // A video goes in a normal upload; nothing failing leaves the list empty.
    CWarningDlg normal({L"C:\\a\\beach.jpg", L"C:\\a\\clip.flv"}, Mode::Normal);
    rows = {L"not read"};
    EXPECT_EQ(IDCANCEL, RunScripted(normal, [&](HWND dialog, HWND) {
        rows = ListRows(GetDlgItem(dialog, IDC_WARNING_LIST));
        Press(dialog, IDCANCEL);
    }, [&] { return normal.DoModal(nullptr); }));
    EXPECT_TRUE(rows.empty());
}

TEST(BorderlessLookTest, AWindowAskedToOpenOffTheWorkAreaOpensFullyInsideIt)
{
    const RECT area = {0, 0, 1024, 740};
    const SIZE size = {300, 100};
    POINT place = PlaceInside({1000, 730}, size, area, 25);
    EXPECT_EQ(724, place.x);
    EXPECT_EQ(615, place.y);
    place = PlaceInside({-50, -20}, size, area, 25);
    EXPECT_EQ(0, place.x);
    EXPECT_EQ(0, place.y);
    place = PlaceInside({200, 300}, size, area, 25);
    EXPECT_EQ(200, place.x);
    EXPECT_EQ(300, place.y);
}

TEST(RegisterDlgTest, OpensInsideTheScreenNearItsCornerAndRegisterOpensTheAccountPage)
{
    std::vector<std::wstring> opened;
    SetBrowserWindowOpener([&](const std::wstring& url) {
        opened.push_back(url);
        return S_OK;
    });
    MONITORINFO monitor = {sizeof(monitor)};
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const POINT corner = {monitor.rcWork.right - 5, monitor.rcWork.bottom - 5};

    CRegisterDlg dialog(corner);
    RECT shown = {};
    EXPECT_EQ(IDOK, RunScripted(dialog, [&](HWND window, HWND) {
        GetWindowRect(window, &shown);
        Press(window, IDOK);
    }, [&] { return dialog.DoModal(nullptr); }));
    EXPECT_GE(shown.left, monitor.rcWork.left);
    EXPECT_LE(shown.right, monitor.rcWork.right);
    EXPECT_LE(shown.bottom, monitor.rcWork.bottom - 25);
    EXPECT_GT(shown.right - shown.left, 0);
    EXPECT_EQ(std::vector<std::wstring>{ServiceUrl(IDS_MY_IMAGES_URL)}, opened);

    CRegisterDlg declined(corner);
    EXPECT_EQ(IDCANCEL, RunScripted(declined, [&](HWND window, HWND) { Press(window, IDCANCEL); },
                                    [&] { return declined.DoModal(nullptr); }));
    EXPECT_EQ(1u, opened.size());
    SetBrowserWindowOpener(nullptr);
}

TEST(AboutDlgTest, ShowsTheVersionOfTheVersionResource)
{
    ASSERT_FALSE(VersionStrings::ProductVersion().empty());
    CAboutDlg about;
    wchar_t text[64] = {};
    EXPECT_EQ(IDOK, RunScripted(about, [&](HWND dialog, HWND) {
        GetDlgItemTextW(dialog, IDC_ABOUT_VERSION, text, 64);
        Press(dialog, IDOK);
    }, [&] { return about.DoModal(nullptr); }));
    EXPECT_EQ(L"Version " + VersionStrings::ProductVersion(), std::wstring(text));
}

}  // namespace
}  // namespace vptest

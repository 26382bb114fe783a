// Window shots of the about box, the update question, the login invitation,
// the warning about files that will not go, and the upload engine's own
// windows: progress, the upload file dialog with its options panel and the
// cancel-tagging question.
#include "tools/windowshots/WindowShots.h"

#include "common/VersionStrings.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/FilesForUploadDlg.h"
#include "dialogs/RegisterDlg.h"
#include "dialogs/WarningDlg.h"
#include "engine/CancelTagging.h"
#include "engine/DialogProgress.h"
#include "engine/IEImageUploader.h"

void OpenAboutWindow()
{
    VersionStrings::Initialize();
    CAboutDlg().DoModal(nullptr);
}

void OpenUpdateWindow() { CUpdateDlg().DoModal(nullptr); }

void OpenLoginWindow() { CRegisterDlg(POINT{240, 180}).DoModal(nullptr); }

void OpenWarningWindow()
{
    CWarningDlg dialog({L"C:\\Users\\Public\\Pictures\\beach.jpg", L"C:\\Users\\Public\\Documents\\notes.txt",
                        L"C:\\Users\\Public\\Videos\\holiday.mkv2", L"C:\\Users\\Public\\Pictures\\hills.png"},
                       CWarningDlg::FileTypeMode::Normal);
    dialog.DoModal(nullptr);
}

// The progress dialog a quarter through the second of three pictures, sent at
// 350 KB/s for 3.75 seconds of its own clock; it is modeless, so
// this loop runs until the window is asked to close.
void OpenProgressWindow()
{
    CProgress progress(nullptr);
    ULONGLONG now = 0;
    progress.SetClock([&now] { return now; });
    progress.Show(true);
    progress.SetItemCount(1, 3);
    progress.SetItemName(L"C:\\Users\\Public\\Pictures\\beach.jpg");
    const ULONGLONG total = 4966 * 1024;
    progress.SetSize(total);
    const ULONGLONG rate = 350 * 1024, shown = rate * 3750 / 1000;
    auto report = [&](ULONGLONG sent) {
        now = sent * 1000 / rate;
        const BodyProgress body = ComputeBodyProgress(total, sent);
        progress.SetProgress(body.position, body.range);
        progress.SetTransferred(sent, total);
    };
    for (ULONGLONG sent = 0; sent < shown; sent += 1024) report(sent);
    report(shown);
    const ULONGLONG end = GetTickCount64() + 20000;
    MSG message;
    while (GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_CLOSE || (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE)) {
                progress.Show(false);
                return;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void OpenUploadFilesWindow()
{
    CFilesForUploadDlg dialog(nullptr, true);
    dialog.resize = true;
    dialog.sizeIndex = 2;
    dialog.tags = L"holiday, sea";
    dialog.Run();
}

void OpenCancelTaggingWindow() { CCancelTagging().DoModal(nullptr); }

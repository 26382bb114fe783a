// The toolbar's Upload button against the development service: the files the
// user chooses reach the service, their results reach the band's history
// through the toolbar target, and the paste menu offers their links.
#include <windows.h>

#include <gtest/gtest.h>

#include "browser/BandFixture.h"
#include "dialogs/DialogTestSupport.h"
#include "common/TextConvert.h"
#include "dialogs/WarningDlg.h"
#include "engine/FileUploader.h"
#include "engine/GdiplusSession.h"
#include "support/ClipboardText.h"
#include "module/resource.h"
#include "support/DevService.h"
#include "support/DialogResponder.h"
#include "support/FileChoice.h"
#include "support/Pictures.h"
#include "support/Registration.h"
#include "support/TempFolder.h"

namespace vptest {
namespace {

// The toolbar against the development service, with two pictures of the user's.
class ToolbarServiceTest : public BandTest {
protected:
    void SetUp() override
    {
        BandTest::SetUp();
        // The band's interface crosses to the upload thread through the registered type library.
        ASSERT_EQ(0u, RunRegsvr32(L"/s", ToolbarLibraryPath()));
        ASSERT_TRUE(service.Available());
        service.Reset();
        service.PointToolbarHere();
        GdiplusSession gdiplus;
        MakePicture(folder.File(L"beach.jpg"), 320, 200, Gdiplus::ImageFormatJPEG);
        MakePicture(folder.File(L"hills.png"), 200, 120, Gdiplus::ImageFormatPNG);
    }
    size_t UploadsReceived() const
    {
        size_t uploads = 0;
        const Json requests = service.Requests();
        for (const Json& record : requests.Items())
            if (record["path"].String() == "/upload_api.php") ++uploads;
        return uploads;
    }

    DevService service;
    TempFolder folder{TempFolder::OutsideTemporaryFolder};
};

TEST_F(ToolbarServiceTest, UploadButtonSendsTheChosenFilesAndThePasteMenuOffersTheirLinks)
{
    for (const wchar_t* name : {L"beach.jpg", L"hills.png"})
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(name).c_str())) << Narrow(folder.File(name));
    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    CVPToolbar& toolbar = band->Toolbar();
    toolbar.SetUploadDialogScript(ChooseFiles({folder.File(L"beach.jpg"), folder.File(L"hills.png")}));
    {
        DialogWatchdog watchdog(GetCurrentThreadId());
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_BUTTON_UPLOAD, 0), 0);
        ASSERT_FALSE(watchdog.Fired()) << "the file dialog did not take the chosen files";
    }

    const ULONGLONG end = GetTickCount64() + 60000;
    while (toolbar.History().size() < 2 && GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        PumpMessages();
    }
    ASSERT_EQ(2u, toolbar.History().size());
    EXPECT_EQ(2u, UploadsReceived());

    std::vector<std::wstring> offered;
    WithMenu(toolbar, ID_BUTTON_PASTE, [&](HMENU menu) {
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[128] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
            offered.push_back(text);
        }
    });
    EXPECT_EQ((std::vector<std::wstring>{L"hills.png", L"beach.jpg"}), offered);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_PASTE_HISTORY_FIRST, 0), 0);
    const std::wstring pasted = ClipboardText();
    EXPECT_NE(std::wstring::npos, pasted.find(L"<img src=\"http")) << Narrow(pasted);
}

TEST_F(ToolbarServiceTest, SlideshowButtonSendsTheChosenPicturesAndPostsTheImportWithTheChosenLook)
{
    // The user picks two pictures and a text file, goes on without the text
    // file, keeps the order and chooses a look.
    int orderAsked = 0;
    std::vector<std::wstring> named;
    FileUploaderDialogs dialogs;
    dialogs.slideshowFiles = [&](const SlideshowDialogRequest&, SlideshowDialogChoice& choice) {
        choice.files = {folder.File(L"beach.jpg"), folder.File(L"notes.txt"), folder.File(L"hills.png")};
        choice.sizeText = L"320x240";
        choice.isPublic = false;
        choice.effect = L"trans3";
        choice.background = L"#008080";
        return S_OK;
    };
    dialogs.unsupportedFiles = [&](HWND, const std::vector<std::wstring>& files) {
        named = files;
        return true;
    };
    dialogs.slideOrder = [&](HWND, std::vector<std::wstring>& files) {
        ++orderAsked;
        return files.size() == 2 ? S_OK : E_FAIL;
    };
    // Without a page destination the import opens a results window: here the frame's browser double.
    dialogs.resultWindow = [&](Microsoft::WRL::ComPtr<IUnknown>& result) {
        result = Query<IUnknown>(browser_);
        return result ? S_OK : E_NOINTERFACE;
    };
    CFileUploader::SetDialogs(dialogs);
    struct Restore {
        ~Restore() { CFileUploader::SetDialogs(FileUploaderDialogs()); }
    } restore;

    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_BUTTON_SLIDESHOW, 0), 0);
    EXPECT_EQ(std::vector<std::wstring>{folder.File(L"notes.txt")}, named);
    EXPECT_EQ(1, orderAsked);

    // The import is posted to the results window once both pictures are on the service.
    const ULONGLONG end = GetTickCount64() + 60000;
    while (browser_->navigations.empty() && GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        PumpMessages();
    }
    EXPECT_EQ(2u, UploadsReceived());
    ASSERT_EQ(1u, browser_->navigations.size());
    const auto& import = browser_->navigations[0];
    EXPECT_EQ(service.Url(L"/slideshow/import.php"), import.url);
    EXPECT_NE(std::string::npos, import.postData.find("trans3")) << import.postData;
    EXPECT_NE(std::string::npos, import.postData.find("#008080")) << import.postData;
}

TEST_F(ToolbarServiceTest, FilesThatCannotBeSentAreListedAndOnlyContinueSendsTheRest)
{
    const std::wstring notes = folder.File(L"notes.txt"), beach = folder.File(L"beach.jpg");
    FILE* file = _wfopen(notes.c_str(), L"wb");
    ASSERT_TRUE(file);
    fputs("not a picture", file);
    fclose(file);
    CFileUploadStrategy::SetRejectedFilesPrompt(&CWarningDlg::ConfirmUploadFiles);
    struct Restore {
        ~Restore() { CFileUploadStrategy::SetRejectedFilesPrompt(nullptr); }
    } restore;

    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    CVPToolbar& toolbar = band->Toolbar();
    // The user chooses files, and answers the warning with button.
    auto upload = [&](const std::vector<std::wstring>& files, UINT button) {
        std::vector<std::wstring> listed;
        DialogResponder user(L"Vellumpost - Image Hosting", button,
                             [&](HWND dialog) { listed = ListRows(GetDlgItem(dialog, IDC_WARNING_LIST)); },
                             IDC_WARNING_LIST);
        toolbar.SetUploadDialogScript(ChooseFiles(files));
        DialogWatchdog watchdog(GetCurrentThreadId());
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_BUTTON_UPLOAD, 0), 0);
        EXPECT_FALSE(watchdog.Fired());
        EXPECT_EQ(1, user.Answered());
        return listed;
    };
    const std::wstring unsupported = notes + L"|Unsupported file type";
    EXPECT_EQ(std::vector<std::wstring>{unsupported}, upload({beach, notes}, IDCANCEL));
    // Every file unsupported: the warning lists them all and Continue sends nothing.
    EXPECT_EQ(std::vector<std::wstring>{unsupported}, upload({notes}, IDOK));
    EXPECT_EQ(std::vector<std::wstring>{unsupported}, upload({beach, notes}, IDOK));

    const ULONGLONG end = GetTickCount64() + 60000;
    while (toolbar.History().size() < 1 && GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        PumpMessages();
    }
    ASSERT_EQ(1u, toolbar.History().size());
    EXPECT_EQ(1u, UploadsReceived()) << "only the picture of the last choice is sent";
}

}  // namespace
}  // namespace vptest

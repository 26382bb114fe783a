// The toolbar's Upload button against the development service: the files the
// user chooses reach the service with the tags and permissions given to each,
// their results reach the band's history through the toolbar target, and the
// paste menu offers their links. Upload from Clipboard takes the same roads
// for a picture, a file list or an address, and sends nothing otherwise.
#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "browser/BandFixture.h"
#include "dialogs/DialogTestSupport.h"
#include "common/TextConvert.h"
#include "dialogs/WarningDlg.h"
#include "dialogs/SlideshowDialogs.h"
#include "engine/FileUploader.h"
#include "dialogs/TagListCtrl.h"
#include "dialogs/TagsDlg.h"
#include "engine/GdiplusSession.h"
#include "resources/resource.h"
#include "support/ClipboardText.h"
#include "resources/resource.h"
#include "browser/ClipboardUpload.h"
#include "engine/TemporaryFiles.h"
#include "support/DevService.h"
#include "support/DropFiles.h"
#include "support/DialogResponder.h"
#include "support/FileChoice.h"
#include "support/Pictures.h"
#include "support/Registration.h"
#include "support/TempFolder.h"
#include "tests/integration/StrategyRun.h"

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

    // Without a page destination a slideshow's import opens a results window:
    // here the frame's browser double.
    std::function<HRESULT(Microsoft::WRL::ComPtr<IUnknown>&)> ResultsInFrame()
    {
        return [this](Microsoft::WRL::ComPtr<IUnknown>& result) {
            result = Query<IUnknown>(browser_);
            return result ? S_OK : E_NOINTERFACE;
        };
    }
    // Pumps the toolbar's thread until the import reaches the results window.
    void WaitForImport()
    {
        const ULONGLONG end = GetTickCount64() + 60000;
        while (browser_->navigations.empty() && GetTickCount64() < end) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            PumpMessages();
        }
    }
    // Tests answer the uploader's dialogs themselves; the product's own come back after each.
    void TearDown() override
    {
        CFileUploader::SetDialogs(FileUploaderDialogs());
        CFileUploadStrategy::SetRejectedFilesPrompt(nullptr);
        BandTest::TearDown();
    }
    // Files that cannot be sent are listed in the product's warning, as in the browser.
    void AskAboutRejectedFilesWithTheWarning()
    {
        CFileUploadStrategy::SetRejectedFilesPrompt(&CWarningDlg::ConfirmUploadFiles);
    }
    // Presses Upload; false when a dialog it opened had to be closed by force.
    bool PressUpload(HWND window)
    {
        DialogWatchdog watchdog(GetCurrentThreadId());
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_BUTTON_UPLOAD, 0), 0);
        return !watchdog.Fired();
    }
    void WaitForHistory(CVPToolbar& toolbar, size_t entries)
    {
        const ULONGLONG end = GetTickCount64() + 60000;
        while (toolbar.History().size() < entries && GetTickCount64() < end) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            PumpMessages();
        }
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
    ASSERT_TRUE(PressUpload(window)) << "the file dialog did not take the chosen files";

    WaitForHistory(toolbar, 2);
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
    dialogs.resultWindow = ResultsInFrame();
    CFileUploader::SetDialogs(dialogs);

    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_BUTTON_SLIDESHOW, 0), 0);
    EXPECT_EQ(std::vector<std::wstring>{folder.File(L"notes.txt")}, named);
    EXPECT_EQ(1, orderAsked);

    // The import is posted to the results window once both pictures are on the service.
    WaitForImport();
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
    AskAboutRejectedFilesWithTheWarning();

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

TEST_F(ToolbarServiceTest, SlideshowDialogsChoicesAndOrderReachTheService)
{
    // The library's own slideshow dialogs, answered as a user would: two
    // pictures, "640x480 (Big)", "Stripes" on "Teal", then the second dragged
    // above the first.
    LONG labelLeft = 0, columnLeft = 0;
    FileUploaderDialogs dialogs;
    dialogs.slideshowFiles = [&](const SlideshowDialogRequest& request, SlideshowDialogChoice& choice) {
        DialogScript choose = ChooseFiles({folder.File(L"beach.jpg"), folder.File(L"hills.png")});
        return RunSlideshowFileDialog(request, choice, [&, choose](HWND window, HWND panel) {
            RECT label = {}, column = {};
            GetWindowRect(GetDlgItem(panel, IDC_EFFECT_LABEL), &label);
            GetWindowRect(GetDlgItem(window, stc3), &column);
            labelLeft = label.left;
            columnLeft = column.left;
            SendDlgItemMessageW(panel, IDC_SIZE_LIST, CB_SETCURSEL, 2, 0);
            SendDlgItemMessageW(panel, IDC_EFFECT, CB_SETCURSEL, 3, 0);
            SendDlgItemMessageW(panel, IDC_BACKGROUND, CB_SETCURSEL, 12, 0);
            choose(window, panel);
        });
    };
    dialogs.slideOrder = [&](HWND owner, std::vector<std::wstring>& files) {
        return RunSlideOrderDialog(owner, files, [](HWND dialog, HWND) {
            HWND list = GetDlgItem(dialog, IDC_IMAGE_LIST);
            SelectRows(list, {1});
            DragRowsOver(dialog, list, 0);
            SendMessageW(list, WM_LBUTTONUP, 0, 0);
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
    };
    dialogs.resultWindow = ResultsInFrame();
    CFileUploader::SetDialogs(dialogs);

    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    {
        DialogWatchdog watchdog(GetCurrentThreadId());
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_BUTTON_SLIDESHOW, 0), 0);
        ASSERT_FALSE(watchdog.Fired()) << "a slideshow dialog did not take the script's answer";
    }
    EXPECT_EQ(columnLeft, labelLeft) << "the panel's labels line up with the file name label";

    WaitForImport();
    std::vector<std::string> sent;
    for (const Json& upload : UploadRecords(service.Requests()))
        if (const Json* file = RecordField(upload, "fileupload")) sent.push_back((*file)["filename"].String());
    EXPECT_EQ((std::vector<std::string>{"hills.png", "beach.jpg"}), sent) << "in the order the user set";
    ASSERT_EQ(1u, browser_->navigations.size());
    const std::string& import = browser_->navigations[0].postData;
    EXPECT_NE(std::string::npos, import.find("trans3")) << import;
    EXPECT_NE(std::string::npos, import.find("#008080")) << import;
    EXPECT_NE(std::string::npos, import.find("640x480")) << import;
}

TEST_F(ToolbarServiceTest, IndividualTagsAndPermissionsFromTheTagsDialogReachTheServiceOnTheirPictures)
{
    // In the tags dialog the user makes the beach private and gives the hills a tag of their own.
    FileUploaderDialogs dialogs;
    dialogs.tags = [](HWND owner, const std::vector<std::wstring>& files, const std::wstring& tags, bool isPublic,
                      TagsDialogChoice& choice) {
        return RunTagsDialog(owner, files, tags, isPublic, choice, [](HWND window, HWND) {
            HWND list = GetDlgItem(window, IDC_TAGS_LIST);
            EditTagRow(window, 1, L"green");
            ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
            ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            ClickAt(list, CTagListCtrl::Of(list)->PermissionPoint(0));
            SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_TAGS_OK, BN_CLICKED), 0);
        });
    };
    CFileUploader::SetDialogs(dialogs);

    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    CVPToolbar& toolbar = band->Toolbar();
    const DialogScript choose = ChooseFiles({folder.File(L"beach.jpg"), folder.File(L"hills.png")});
    toolbar.SetUploadDialogScript([choose](HWND dialog, HWND panel) {
        SetDlgItemTextW(panel, IDC_TAGS, L"holiday");
        CheckDlgButton(panel, IDC_INDIVIDUAL_TAGS, BST_CHECKED);
        choose(dialog, panel);
    });
    ASSERT_TRUE(PressUpload(window)) << "the file or tags dialog did not close";
    WaitForHistory(toolbar, 2);
    std::map<std::string, std::pair<std::string, std::string>> sent;  // file name: tags, public
    const Json requests = service.Requests();
    for (const Json& record : requests.Items()) {
        if (record["path"].String() != "/upload_api.php") continue;
        std::string file, tags, isPublic;
        for (const Json& field : record["fields"].Items()) {
            if (field["name"].String() == "tags") tags = field["value"].String();
            if (field["name"].String() == "public") isPublic = field["value"].String();
            if (field["name"].String() == "fileupload") file = field["filename"].String();
        }
        sent[file] = {tags, isPublic};
    }
    using Sent = std::pair<std::string, std::string>;
    EXPECT_EQ((Sent{"holiday", "no"}), sent["beach.jpg"]);
    EXPECT_EQ((Sent{"green holiday", "yes"}), sent["hills.png"]);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

// The last upload request the service received.
Json LastUpload(const DevService& service)
{
    const std::vector<Json> uploads = UploadRecords(service.Requests());
    return uploads.empty() ? Json() : uploads.back();
}

TEST_F(ToolbarServiceTest, ClipboardPictureFilesAndAddressEachTakeTheirRoad)
{
    AskAboutRejectedFilesWithTheWarning();
    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    CVPToolbar& toolbar = band->Toolbar();
    auto uploadFromClipboard = [&] { SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_UPLOAD_CLIPBOARD, 0), 0); };

    // A picture copied from another program, as a bitmap.
    const std::vector<BYTE> dib = MakeDib(64, 48);
    ASSERT_TRUE(PutClipboard(window, CF_DIB, dib.data(), dib.size()));
    uploadFromClipboard();
    WaitForHistory(toolbar, 1);
    ASSERT_EQ(1u, toolbar.History().size());
    Json upload = LastUpload(service);
    const Json* file = RecordField(upload, "fileupload");
    ASSERT_NE(nullptr, file);
    const std::string name = (*file)["filename"].String();
    EXPECT_EQ(".png", name.substr(name.size() - 4)) << name;
    EXPECT_EQ(Widen(name, CP_UTF8), toolbar.History()[0].name.value_or(L""));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB)) << "the clipboard is left as it was";
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_BUTTON_PASTE, 0), 0);
    EXPECT_NE(std::wstring::npos, ClipboardText().find(L"<img src=\"http")) << "its link is offered";

    // The address of that picture, with the blanks a copied line brings.
    const std::wstring address = service.Url(LinkPath(toolbar.History()[0].imageLink.value_or(L"")));
    ASSERT_TRUE(PutClipboardText(window, L"  " + address + L"\r\n"));
    uploadFromClipboard();
    WaitForHistory(toolbar, 2);
    EXPECT_EQ(Narrow(address), RecordText(LastUpload(service), "url")) << "transloaded by its address";

    // Files copied in Explorer: the one that cannot be sent is named first.
    const std::wstring notes = folder.Write(L"notes.txt", "not a picture");
    std::vector<std::wstring> listed;
    DialogResponder user(L"Vellumpost - Image Hosting", IDOK,
                         [&](HWND dialog) { listed = ListRows(GetDlgItem(dialog, IDC_WARNING_LIST)); },
                         IDC_WARNING_LIST);
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    ASSERT_EQ(S_OK, DropData({folder.File(L"beach.jpg"), notes})->GetData(&format, &medium));
    const bool put = PutClipboard(window, CF_HDROP, GlobalLock(medium.hGlobal), GlobalSize(medium.hGlobal));
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    ASSERT_TRUE(put);
    uploadFromClipboard();
    EXPECT_EQ(std::vector<std::wstring>{notes + L"|Unsupported file type"}, listed);
    WaitForHistory(toolbar, 3);
    upload = LastUpload(service);
    file = RecordField(upload, "fileupload");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ("beach.jpg", (*file)["filename"].String());
    EXPECT_EQ(3u, UploadsReceived());
    EXPECT_FALSE(FileExists(UserTempFolder() + L"\\" + Widen(name, CP_UTF8)))
        << "the saved picture went with its upload";
}

TEST_F(ToolbarServiceTest, ClipboardWithNothingToSendOnlyTellsTheUserWhy)
{
    auto band = SitedBand();
    HWND window = ShowToolbar(band.Get());
    std::vector<std::wstring> told;
    DialogResponder user(LoadModuleString(IDS_CLIPBOARD_CAPTION), IDOK,
                         [&](HWND box) { told.push_back(WindowText(GetDlgItem(box, 0xFFFF))); });
    // Ctrl+Shift+V as the browser hands it to the band while the toolbar has the focus.
    auto pressCtrlShiftV = [&] {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = keys[VK_SHIFT] = 0x80;
        SetKeyboardState(keys);
        MSG key{window, WM_KEYDOWN, 'V', 0, 0, {}};
        EXPECT_EQ(S_OK, band->TranslateAcceleratorIO(&key));
        keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        DialogWatchdog watchdog(GetCurrentThreadId());
        PumpMessages();
        EXPECT_FALSE(watchdog.Fired());
    };
    std::vector<BYTE> hostile = MakeDib(64, 48, 8);
    hostile.resize(sizeof(BITMAPINFOHEADER) + 64);  // the palette runs past the memory
    std::vector<BYTE> huge = MakeDib(8, 8);
    reinterpret_cast<BITMAPINFOHEADER*>(huge.data())->biWidth = 20000;

    ASSERT_TRUE(PutClipboard(window, 0, nullptr, 0));
    pressCtrlShiftV();
    ASSERT_TRUE(PutClipboard(window, CF_DIB, hostile.data(), hostile.size()));
    pressCtrlShiftV();
    ASSERT_TRUE(PutClipboard(window, CF_DIB, huge.data(), huge.size()));
    pressCtrlShiftV();
    ASSERT_TRUE(PutClipboardText(window, L"see http://example.com/a.png"));
    pressCtrlShiftV();
    ASSERT_TRUE(PutClipboardText(window, L"https://example.com/notes.txt"));
    pressCtrlShiftV();

    const std::wstring nothing = LoadModuleString(IDS_CLIPBOARD_NOTHING);
    ASSERT_EQ(5u, told.size());
    EXPECT_EQ(nothing, told[0]);
    EXPECT_EQ(LoadModuleString(IDS_CLIPBOARD_DAMAGED), told[1]);
    EXPECT_NE(std::wstring::npos, told[2].find(L"20000 x 8")) << Narrow(told[2]);
    EXPECT_EQ(nothing, told[3]) << "text around an address is not an address";
    EXPECT_EQ(nothing, told[4]) << "an address of something that is no picture or video";
    EXPECT_EQ(0u, UploadsReceived());
}

}  // namespace
}  // namespace vptest

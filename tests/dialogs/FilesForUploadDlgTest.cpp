// The upload file dialog: filter and file buffer handling, the record filled
// from the panel's control states, and the real file-open dialog with its
// options panel under Wine, driven by a script.
#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/TextConvert.h"
#include "dialogs/DialogControls.h"
#include "dialogs/FilesForUploadDlg.h"
#include "resources/resource.h"
#include "support/TempFolder.h"
#include "DialogTestSupport.h"

namespace {

// --- without a window -------------------------------------------------------------

TEST(FileDialogFilterTest, BarsBecomeNulsAndTheListEndsWithTwo)
{
    std::wstring filter = CFilesForUploadDlg::FilterForDialog(L"Image files|*.jpg;*.png|");
    EXPECT_EQ(std::wstring(L"Image files\0*.jpg;*.png\0", 24), filter);
    EXPECT_EQ(L'\0', filter.c_str()[filter.size()]) << "the string's own terminator is the second NUL";
    EXPECT_EQ(std::wstring(L"a\0*.a\0", 6), CFilesForUploadDlg::FilterForDialog(L"a|*.a"))
        << "a caller's filter without the final bar still ends properly";
    EXPECT_EQ(std::wstring(L"\0", 1), CFilesForUploadDlg::FilterForDialog(L""));
}

TEST(FileDialogFilterTest, FileTypesPickTheirFilterString)
{
    CFilesForUploadDlg dialog(nullptr, true);
    EXPECT_EQ(LoadModuleString(IDS_FILTER_ALL), dialog.FilterText());
    dialog.SetFileTypes(UploadFileTypes::kPictures);
    EXPECT_EQ(LoadModuleString(IDS_FILTER_PICTURES), dialog.FilterText());
    EXPECT_EQ(0u, dialog.FilterText().find(L"Image files|"));
    dialog.SetFileTypes(UploadFileTypes::kVideos);
    EXPECT_EQ(LoadModuleString(IDS_FILTER_VIDEOS), dialog.FilterText());
    EXPECT_EQ(0u, dialog.FilterText().find(L"Video files|"));
    dialog.SetFilter(L"Mine|*.x|");
    EXPECT_EQ(L"Mine|*.x|", dialog.FilterText()) << "a caller's filter wins";
}

TEST(FileDialogFilterTest, FlagsTitleAndStructure)
{
    EXPECT_EQ(0x881064u, CFilesForUploadDlg(nullptr, false).Flags());
    EXPECT_EQ(0x881264u, CFilesForUploadDlg(nullptr, true).Flags());
    EXPECT_EQ(LoadModuleString(IDS_FILE_DIALOG_TITLE), CFilesForUploadDlg(nullptr, false).Title());
}

std::vector<std::wstring> Split(const std::wstring& buffer)
{
    return CFilesForUploadDlg::SplitChosenFiles(buffer.data(), buffer.size());
}

TEST(ChosenFilesTest, OnePathOrAFolderWithNames)
{
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\pics\\a.jpg"}), Split(std::wstring(L"C:\\pics\\a.jpg\0\0", 15)));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\pics\\a.jpg", L"C:\\pics\\b c.png"}),
              Split(std::wstring(L"C:\\pics\0a.jpg\0b c.png\0\0", 23)));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\a.jpg", L"C:\\b.jpg"}), Split(std::wstring(L"C:\\\0a.jpg\0b.jpg\0\0", 17)))
        << "a root folder already ends with its separator";
    EXPECT_TRUE(Split(std::wstring(L"\0\0", 2)).empty());
    EXPECT_TRUE(CFilesForUploadDlg::SplitChosenFiles(nullptr, 10).empty());
}

TEST(ChosenFilesTest, NothingIsReadPastTheBuffer)
{
    // A buffer filled to the end without a terminator: the unterminated name is dropped.
    std::wstring full = std::wstring(L"C:\\pics\0a.jpg\0bbbb", 18);
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\pics\\a.jpg"}), Split(full));
    std::wstring unterminated(L"C:\\pics\\a.jpg");
    EXPECT_TRUE(Split(unterminated).empty());
}

TEST(UploadPanelRecordTest, PanelStatesFillTheRecord)
{
    CFilesForUploadDlg dialog(nullptr, true);
    UploadPanelControls controls;
    controls.resize = true;
    controls.removeSizeBar = false;
    controls.individualTags = true;
    controls.tags = L"cats";
    controls.sizeIndex = 8;
    dialog.TakeControls(controls);
    EXPECT_TRUE(dialog.resize);
    EXPECT_FALSE(dialog.removeSizeBar);
    EXPECT_TRUE(dialog.individualTags);
    EXPECT_EQ(L"cats", dialog.tags);
    EXPECT_EQ(8, dialog.sizeIndex);
    EXPECT_EQ(L"Optimize without resizing", dialog.RequestedSize());
    controls.sizeIndex = 9;
    controls.resize = false;
    dialog.TakeControls(controls);
    EXPECT_EQ(8, dialog.sizeIndex) << "an index outside the list keeps the choice";
    EXPECT_EQ(L"", dialog.RequestedSize()) << "no resizing";
}

// --- the real dialog --------------------------------------------------------------

std::wstring WindowText(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

// Types a name into the dialog's file name box, whichever kind it is.
void TypeFileName(HWND dialog, const std::wstring& name)
{
    for (int id : {edt1, cmb13}) {
        if (HWND box = GetDlgItem(dialog, id)) SetWindowTextW(box, name.c_str());
    }
}

std::vector<std::wstring> FileTypeEntries(HWND dialog)
{
    std::vector<std::wstring> entries;
    HWND combo = GetDlgItem(dialog, cmb1);
    int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count && i < 16; ++i) {
        wchar_t text[256] = {};
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 255) SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

class FileDialogTest : public testing::Test {
protected:
    bool Run(CFilesForUploadDlg& dialog, DialogScript script)
    {
        return vptest::RunScripted(dialog, std::move(script), [&] { return dialog.Run(); });
    }

    vptest::TempFolder folder_{vptest::TempFolder::OutsideTemporaryFolder};
};

TEST_F(FileDialogTest, OneFileWithThePanelsOptions)
{
    std::wstring picture = folder_.Write(L"beach.jpg", "not really a picture");
    CFilesForUploadDlg dialog(nullptr, false);
    dialog.tags = L"sea";
    dialog.sizeIndex = 2;
    std::wstring title, okText, tagsShown, sizeShown;
    bool comboStartsDisabled = false, comboEnabledByResize = false, panelIsChild = false;
    bool chosen = Run(dialog, [&](HWND window, HWND panel) {
        title = WindowText(window);
        okText = WindowText(GetDlgItem(window, IDOK));
        panelIsChild = GetParent(panel) == window;
        tagsShown = ControlText(panel, IDC_TAGS);
        int shownIndex = ComboSelection(panel, IDC_SIZE_LIST);
        sizeShown = shownIndex == 2 ? L"320x240" : L"index " + std::to_wstring(shownIndex);
        comboStartsDisabled = !IsWindowEnabled(GetDlgItem(panel, IDC_SIZE_LIST));
        SendMessageW(GetDlgItem(panel, IDC_RESIZE), BM_CLICK, 0, 0);
        comboEnabledByResize = IsWindowEnabled(GetDlgItem(panel, IDC_SIZE_LIST)) != FALSE;
        SendDlgItemMessageW(panel, IDC_SIZE_LIST, CB_SETCURSEL, 6, 0);
        SetDlgItemTextW(panel, IDC_TAGS, L"sea sand");
        SendMessageW(GetDlgItem(panel, IDC_INDIVIDUAL_TAGS), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(panel, IDC_REMOVE_SIZE_BAR), BM_CLICK, 0, 0);
        TypeFileName(window, picture);
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(chosen);
    EXPECT_EQ(LoadModuleString(IDS_FILE_DIALOG_TITLE), title);
    EXPECT_EQ(L"Upload", okText);
    EXPECT_TRUE(panelIsChild) << "the panel lives inside the file dialog";
    EXPECT_EQ(L"sea", tagsShown);
    EXPECT_EQ(L"320x240", sizeShown);
    EXPECT_TRUE(comboStartsDisabled);
    EXPECT_TRUE(comboEnabledByResize);
    ASSERT_EQ(1u, dialog.Files().size());
    EXPECT_EQ(ToLower(picture), ToLower(dialog.Files()[0]));
    EXPECT_TRUE(dialog.resize);
    EXPECT_EQ(6, dialog.sizeIndex);
    EXPECT_EQ(L"1280x1024 (19-inch monitor)", dialog.RequestedSize());
    EXPECT_EQ(L"sea sand", dialog.tags);
    EXPECT_TRUE(dialog.individualTags);
    EXPECT_FALSE(dialog.removeSizeBar);
}

TEST_F(FileDialogTest, SeveralFilesFromOneFolder)
{
    std::wstring first = folder_.Write(L"one.jpg", "1");
    std::wstring second = folder_.Write(L"two.png", "2");
    CFilesForUploadDlg dialog(nullptr, true);
    // Several quoted names are taken relative to the folder the dialog shows,
    // which starts as the current folder.
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder_.Path().c_str());
    bool chosen = Run(dialog, [&](HWND window, HWND) {
        TypeFileName(window, L"\"one.jpg\" \"two.png\"");
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    });
    SetCurrentDirectoryW(previous);
    ASSERT_TRUE(chosen);
    ASSERT_EQ(2u, dialog.Files().size());
    EXPECT_EQ(ToLower(first), ToLower(dialog.Files()[0]));
    EXPECT_EQ(ToLower(second), ToLower(dialog.Files()[1]));
}

TEST_F(FileDialogTest, CancelChoosesNothingAndKeepsTheRecord)
{
    CFilesForUploadDlg dialog(nullptr, true);
    dialog.tags = L"before";
    bool chosen = Run(dialog, [&](HWND window, HWND panel) {
        SetDlgItemTextW(panel, IDC_TAGS, L"typed, then canceled");
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(chosen);
    EXPECT_TRUE(dialog.Files().empty());
    EXPECT_EQ(L"before", dialog.tags);
}

TEST_F(FileDialogTest, FileTypesShownFollowTheRestriction)
{
    const struct {
        UploadFileTypes types;
        std::vector<std::wstring> entries;
    } cases[] = {
        {UploadFileTypes::kAll, {L"All supported formats", L"Image files", L"Flash files", L"Video files"}},
        {UploadFileTypes::kPictures, {L"Image files"}},
        {UploadFileTypes::kVideos, {L"Video files"}},
    };
    for (const auto& c : cases) {
        CFilesForUploadDlg dialog(nullptr, true);
        dialog.SetFileTypes(c.types);
        std::vector<std::wstring> shown;
        Run(dialog, [&](HWND window, HWND) {
            shown = FileTypeEntries(window);
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(c.entries, shown) << "file types " << static_cast<int>(c.types);
    }
}

TEST_F(FileDialogTest, ConfirmedTagsGoToTheCompletionStore)
{
    std::wstring picture = folder_.Write(L"tagged.gif", "g");
    vptest::FakeTagCompletion completion;
    CFilesForUploadDlg dialog(nullptr, false, &completion);
    bool attachedToTags = false;
    bool chosen = Run(dialog, [&](HWND window, HWND panel) {
        attachedToTags = completion.attached == GetDlgItem(panel, IDC_TAGS);
        SetDlgItemTextW(panel, IDC_TAGS, L"red green");
        TypeFileName(window, picture);
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(chosen);
    EXPECT_TRUE(attachedToTags);
    EXPECT_EQ((std::vector<std::wstring>{L"red green"}), completion.remembered);
}

}  // namespace

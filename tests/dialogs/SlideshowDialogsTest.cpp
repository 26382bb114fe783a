// The slideshow order dialogs: the block moves of the drag list as plain
// rules, then the real dialogs under Wine, driven by a script that drags,
// checks and chooses as a user would.
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dialogs/DragListCtrl.h"
#include "dialogs/SlideShowDlg.h"
#include "dialogs/SlideshowDialogs.h"
#include "engine/GdiplusSession.h"
#include "engine/UploadItem.h"
#include "resources/resource.h"
#include "support/Pictures.h"
#include "support/TempFolder.h"
#include "DialogTestSupport.h"

namespace {

// The rows after dragging the selected ones over row target.
std::vector<std::wstring> Dragged(std::vector<std::wstring> rows, const std::vector<bool>& selected, int target,
                                  int lastDrop = -1)
{
    for (const ListMove& move : GatherMoves(selected, target, lastDrop)) ApplyListMove(rows, move);
    return rows;
}

TEST(DragListRulesTest, ASelectedBlockMovesAsOneInItsOrder)
{
    const std::vector<std::wstring> rows = {L"a", L"b", L"c", L"d"};
    EXPECT_EQ((std::vector<std::wstring>{L"c", L"a", L"b", L"d"}), Dragged(rows, {true, true, false, false}, 2))
        << "down past one row: the block lands after it";
    EXPECT_EQ((std::vector<std::wstring>{L"c", L"d", L"a", L"b"}), Dragged(rows, {true, true, false, false}, 3));
    EXPECT_EQ((std::vector<std::wstring>{L"c", L"d", L"a", L"b"}), Dragged(rows, {false, false, true, true}, 0))
        << "up: the block lands before the row";
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"d", L"b", L"c"}), Dragged(rows, {true, false, false, true}, 1, 3))
        << "rows from both sides gather at the row, in their order";
    EXPECT_EQ(rows, Dragged(rows, {true, true, false, false}, 1)) << "over a selected row nothing moves";
    EXPECT_EQ(rows, Dragged(rows, {true, true, false, false}, 4));
    EXPECT_EQ(rows, Dragged(rows, {true, true, false, false}, -1));
}

TEST(DragListRulesTest, RowsNamingNoPathLoseNothing)
{
    const std::vector<std::wstring> paths = {L"a", L"b", L"c"};
    EXPECT_EQ((std::vector<std::wstring>{L"c", L"a", L"b"}), ReorderedPaths(paths, {2, 0, 1}));
    EXPECT_EQ((std::vector<std::wstring>{L"c", L"a", L"b"}), ReorderedPaths(paths, {2, 7, -1, 2}))
        << "unknown and repeated rows are skipped; unnamed paths follow in order";
    EXPECT_EQ(L"b.png", SlideFileName(L"C:\\x/y\\b.png"));
    EXPECT_EQ(L"plain", SlideFileName(L"plain"));
}

// --- the real dialogs -------------------------------------------------------------

std::vector<std::wstring> RowTexts(HWND list)
{
    std::vector<std::wstring> texts;
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        wchar_t text[MAX_PATH] = {};
        ListView_GetItemText(list, row, 0, text, MAX_PATH);
        texts.push_back(text);
    }
    return texts;
}

UINT RowState(HWND list, int row)
{
    return static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED | LVIS_FOCUSED));
}

class SlideDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        GdiplusSession gdiplus;
        vptest::MakePicture(folder_.File(L"first.png"), 300, 200, Gdiplus::ImageFormatPNG);
        vptest::MakePicture(folder_.File(L"third.jpg"), 40, 90, Gdiplus::ImageFormatJPEG);
        paths_ = {folder_.File(L"first.png"), folder_.File(L"broken.jpg"), PathToFileUrl(folder_.File(L"third.jpg"))};
        folder_.Write(L"broken.jpg", "not a picture");
    }

    vptest::TempFolder folder_{vptest::TempFolder::OutsideTemporaryFolder};
    std::vector<std::wstring> paths_;
};

TEST_F(SlideDialogTest, DraggingTwoPastTheThirdKeepsThemTogetherSelectedAndInOrder)
{
    std::vector<std::wstring> files = paths_;
    std::vector<std::wstring> start, afterDrag, afterLostCapture;
    UINT firstState = 0, secondState = 0;
    bool capturedWhileDragging = false, releasedAfter = false;
    int images = 0;
    std::unique_ptr<vptest::ImageListWatch> thumbnailsWatch;
    HRESULT hr = RunSlideOrderDialog(nullptr, files, [&](HWND dialog, HWND) {
        HWND list = GetDlgItem(dialog, IDC_IMAGE_LIST);
        thumbnailsWatch = std::make_unique<vptest::ImageListWatch>(list, LVSIL_SMALL);
        HIMAGELIST thumbnails = ListView_GetImageList(list, LVSIL_SMALL);
        images = thumbnails ? ImageList_GetImageCount(thumbnails) : 0;
        start = RowTexts(list);
        vptest::SelectRows(list, {0, 1});
        vptest::DragRowsOver(dialog, list, 2);
        capturedWhileDragging = GetCapture() == list;
        afterDrag = RowTexts(list);
        firstState = RowState(list, 1);
        secondState = RowState(list, 2);
        SendMessageW(list, WM_LBUTTONUP, 0, 0);
        releasedAfter = GetCapture() != list;

        // A drag whose capture is taken away ends: later moves change nothing.
        vptest::DragRowsOver(dialog, list, 2);
        ReleaseCapture();
        RECT top = {LVIR_BOUNDS, 0, 0, 0};
        SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&top));
        SendMessageW(list, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(top.left + 4, top.top + 4));
        afterLostCapture = RowTexts(list);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_EQ(S_OK, hr);
    EXPECT_EQ(3, images) << "one picture per path, the broken one included";
    // One owner: the list view leaves the thumbnails to the dialog, which destroys them.
    EXPECT_TRUE(thumbnailsWatch->AliveAfterTheList());
    EXPECT_FALSE(thumbnailsWatch->AliveNow());
    EXPECT_EQ((std::vector<std::wstring>{L"first.png", L"broken.jpg", L"third.jpg"}), start) << "file names only";
    EXPECT_EQ((std::vector<std::wstring>{L"third.jpg", L"first.png", L"broken.jpg"}), afterDrag);
    EXPECT_EQ(static_cast<UINT>(LVIS_SELECTED), firstState & LVIS_SELECTED);
    EXPECT_EQ(static_cast<UINT>(LVIS_SELECTED), secondState & LVIS_SELECTED);
    EXPECT_TRUE(((firstState | secondState) & LVIS_FOCUSED) != 0) << "the focus stays in the moved block";
    EXPECT_TRUE(capturedWhileDragging);
    EXPECT_TRUE(releasedAfter);
    EXPECT_EQ(afterDrag, afterLostCapture);
    EXPECT_EQ((std::vector<std::wstring>{paths_[2], paths_[0], paths_[1]}), files);
}

TEST_F(SlideDialogTest, CancelKeepsTheOrderAndCheckCommandsFollowTheSelection)
{
    std::vector<std::wstring> files = paths_;
    std::vector<bool> selectedOnly, all, none;
    auto checks = [](HWND list) {
        std::vector<bool> states;
        for (int row = 0; row < 3; ++row) states.push_back(ListView_GetCheckState(list, row) != 0);
        return states;
    };
    HRESULT hr = RunSlideOrderDialog(nullptr, files, [&](HWND dialog, HWND) {
        HWND list = GetDlgItem(dialog, IDC_IMAGE_LIST);
        ListView_SetExtendedListViewStyleEx(list, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
        vptest::SelectRows(list, {1});
        SendMessageW(list, WM_COMMAND, ID_CHECK_ALL, 0);
        selectedOnly = checks(list);
        vptest::SelectRows(list, {});
        SendMessageW(list, WM_COMMAND, ID_CHECK_ALL, 0);
        all = checks(list);
        // A moved row keeps its check.
        vptest::SelectRows(list, {2});
        ListView_SetCheckState(list, 2, FALSE);
        vptest::DragRowsOver(dialog, list, 0);
        SendMessageW(list, WM_LBUTTONUP, 0, 0);
        none = checks(list);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(S_FALSE, hr);
    EXPECT_EQ(paths_, files);
    EXPECT_EQ((std::vector<bool>{false, true, false}), selectedOnly);
    EXPECT_EQ((std::vector<bool>{true, true, true}), all);
    EXPECT_EQ((std::vector<bool>{false, true, true}), none) << "the unchecked row moved to the top unchecked";
}

TEST_F(SlideDialogTest, SlideshowDialogShowsPathsAndReturnsTheChosenLook)
{
    CSlideShowDlg dialog(paths_);
    dialog.effectIndex = 9;  // a stored index past the list
    dialog.sizeIndex = 2;
    std::vector<std::wstring> rows;
    int effectShown = -1;
    INT_PTR result = vptest::RunScripted(dialog, [&](HWND window, HWND) {
        rows = RowTexts(GetDlgItem(window, IDC_IMAGE_LIST));
        effectShown = static_cast<int>(SendDlgItemMessageW(window, IDC_EFFECT, CB_GETCURSEL, 0, 0));
        SendDlgItemMessageW(window, IDC_BACKGROUND, CB_SETCURSEL, 12, 0);
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    }, [&] { return dialog.DoModal(nullptr); });
    ASSERT_EQ(IDOK, result);
    EXPECT_EQ(paths_, rows) << "whole paths";
    EXPECT_EQ(paths_, dialog.images) << "OK without a move keeps the order";
    EXPECT_EQ((std::vector<bool>{true, false, true}), dialog.Loaded()) << "the broken file shows the default picture";
    EXPECT_EQ(3, effectShown) << "clamped to the last effect";
    EXPECT_EQ(L"trans3", dialog.Effect());
    EXPECT_EQ(L"#008080", dialog.Background());
    EXPECT_EQ(L"640x480 (Big)", dialog.sizeText);
}

}  // namespace

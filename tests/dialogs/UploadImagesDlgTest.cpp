// The page pictures dialog: the check and filter rules and the record filled
// from control states without a window, then the real dialog under Wine,
// driven by a script and closed by Continue or Cancel.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/SettingsStore.h"
#include "dialogs/DialogControls.h"
#include "dialogs/UploadImagesDlg.h"
#include "resources/resource.h"
#include "DialogTestSupport.h"

namespace {

const std::vector<std::wstring> kAddresses = {
    L"http://example.com/big.jpg", L"http://example.com/tall.png", L"http://example.com/edge.gif",
    L"http://example.com/icon.gif"};
const std::vector<PictureSize> kSizes = {{640, 480}, {99, 500}, {100, 100}, {16, 16}};

// --- rules without a window -----------------------------------------------------

TEST(PictureChecksTest, PicturesBelowEitherMinimumStartUnchecked)
{
    EXPECT_EQ((std::vector<bool>{true, false, true, false}), InitialChecks(kSizes, 100, 100));
    EXPECT_EQ((std::vector<bool>{true, true, true, false}), InitialChecks(kSizes, 50, 50));
    EXPECT_EQ((std::vector<bool>{false, false, true}), InitialChecks({{-1, 900}, {900, -5}, {0, 0}}, 0, 0))
        << "an unknown (negative) size never counts as large enough";
}

TEST(PictureChecksTest, TheFilterOnlyRemovesChecks)
{
    std::vector<bool> checks = {true, false, true, false};
    EXPECT_EQ(0u, ClearChecksBelow(kSizes, checks, 50, 50));
    EXPECT_EQ((std::vector<bool>{true, false, true, false}), checks) << "a lower limit checks nothing new";
    EXPECT_EQ(1u, ClearChecksBelow(kSizes, checks, 200, 200));
    EXPECT_EQ((std::vector<bool>{true, false, false, false}), checks);

    std::vector<bool> longer = {true, true, true, true, true};
    ClearChecksBelow(kSizes, longer, 1, 1);
    EXPECT_FALSE(longer[4]) << "a row without a known size is below every positive minimum";
}

TEST(PictureChecksTest, MinimumsAreDecimalNumbersOnly)
{
    DWORD value = 7;
    EXPECT_TRUE(ParseDialogNumber(L"120", &value));
    EXPECT_EQ(120u, value);
    EXPECT_TRUE(ParseDialogNumber(L"  0 ", &value));
    EXPECT_EQ(0u, value);
    EXPECT_TRUE(ParseDialogNumber(L"999999999", &value));
    EXPECT_EQ(999999999u, value);
    value = 7;
    for (const wchar_t* bad : {L"", L"  ", L"12a", L"-5", L"+5", L"1 2", L"0x10", L"1234567890", L"99999999999999999999"})
        EXPECT_FALSE(ParseDialogNumber(bad, &value)) << testing::PrintToString(std::wstring(bad));
    EXPECT_EQ(7u, value) << "a refused text leaves the value alone";
}

TEST(UploadImagesRecordTest, ControlStatesFillTheRecord)
{
    CUploadImagesDlg dialog(kAddresses, kSizes);
    UploadImagesControls controls;
    controls.resize = true;
    controls.removeSizeBar = false;
    controls.individualTags = true;
    controls.tags = L"sea sun";
    controls.sizeIndex = 4;
    controls.effectIndex = 3;
    controls.backgroundIndex = 7;
    controls.minWidth = L"50";
    controls.minHeight = L"60";
    EXPECT_EQ(0, dialog.TakeControls(controls, false));
    EXPECT_TRUE(dialog.resize);
    EXPECT_FALSE(dialog.removeSizeBar);
    EXPECT_TRUE(dialog.individualTags);
    EXPECT_EQ(L"sea sun", dialog.tags);
    EXPECT_EQ(4, dialog.sizeIndex);
    EXPECT_EQ(L"800x600 (15-inch monitor)", dialog.sizeText);
    EXPECT_EQ(L"800x600 (15-inch monitor)", dialog.RequestedSize());
    EXPECT_EQ(L"trans3", dialog.Effect());
    EXPECT_EQ(L"#000080", dialog.Background());
    EXPECT_EQ(50u, dialog.minWidth);
    EXPECT_EQ(60u, dialog.minHeight);

    controls.resize = false;
    dialog.TakeControls(controls, false);
    EXPECT_EQ(L"", dialog.RequestedSize()) << "no resizing asked for";

    controls.buildSlideshow = true;
    controls.sizeIndex = 2;
    dialog.TakeControls(controls, true);
    EXPECT_EQ(L"640x480 (Big)", dialog.RequestedSize()) << "a slideshow always has its size";
}

TEST(UploadImagesRecordTest, ABadMinimumIsNamedAndKeepsItsValue)
{
    CUploadImagesDlg dialog(kAddresses, kSizes);
    dialog.minWidth = 100;
    dialog.minHeight = 100;
    UploadImagesControls controls;
    controls.sizeIndex = 1;
    controls.minWidth = L"abc";
    controls.minHeight = L"300";
    EXPECT_EQ(IDC_MIN_WIDTH, dialog.TakeControls(controls, false));
    EXPECT_EQ(100u, dialog.minWidth);
    controls.minWidth = L"30";
    controls.minHeight = L"";
    EXPECT_EQ(IDC_MIN_HEIGHT, dialog.TakeControls(controls, false));
    EXPECT_EQ(30u, dialog.minWidth);
    EXPECT_EQ(100u, dialog.minHeight);
}

TEST(UploadImagesRecordTest, OutOfRangeSelectionsKeepThePreviousChoice)
{
    CUploadImagesDlg dialog(kAddresses, kSizes);
    dialog.sizeIndex = 3;
    dialog.effectIndex = 1;
    dialog.backgroundIndex = 2;
    UploadImagesControls controls;  // every combo reads -1: nothing selected
    controls.minWidth = controls.minHeight = L"1";
    dialog.TakeControls(controls, false);
    EXPECT_EQ(3, dialog.sizeIndex);
    EXPECT_EQ(1, dialog.effectIndex);
    EXPECT_EQ(2, dialog.backgroundIndex);
    controls.sizeIndex = 5;
    dialog.TakeControls(controls, true);
    EXPECT_EQ(3, dialog.sizeIndex) << "index 5 does not exist in the slideshow list";
}

TEST(UploadImagesRecordTest, ContinueKeepsTheCheckedPicturesInListOrder)
{
    CUploadImagesDlg dialog(kAddresses, kSizes);
    EXPECT_EQ(kAddresses, dialog.images) << "before the dialog the record holds every picture";
    dialog.KeepChecked({false, true, false, true});
    EXPECT_EQ((std::vector<std::wstring>{kAddresses[1], kAddresses[3]}), dialog.images);
    EXPECT_EQ((std::vector<size_t>{1, 3}), dialog.checkedIndices);
    dialog.KeepChecked({false, false, false, false});
    EXPECT_TRUE(dialog.images.empty());
    EXPECT_TRUE(dialog.checkedIndices.empty());
    dialog.KeepChecked({true});
    EXPECT_EQ((std::vector<size_t>{0}), dialog.checkedIndices) << "a short check list leaves the rest out";
}

TEST(UploadImagesRecordTest, MinimumsStartFromTheSettings)
{
    SettingsStore settings;
    settings.SetWebMinWidth(30);
    settings.SetWebMinHeight(40);
    CUploadImagesDlg dialog(kAddresses, {{1, 1}});
    EXPECT_EQ(30u, dialog.minWidth);
    EXPECT_EQ(40u, dialog.minHeight);
    EXPECT_EQ(kAddresses.size(), dialog.Sizes().size()) << "sizes are padded to the address count";
}

// --- the real dialog --------------------------------------------------------------

std::vector<bool> ListChecks(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_IMAGE_LIST);
    std::vector<bool> checks;
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) checks.push_back(ListView_GetCheckState(list, row) != 0);
    return checks;
}

void Click(HWND dialog, int id)
{
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

std::wstring SelectedText(HWND dialog, int id)
{
    HWND combo = GetDlgItem(dialog, id);
    int index = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    if (index < 0) return L"<none>";
    wchar_t text[128] = {};
    if (SendMessageW(combo, CB_GETLBTEXTLEN, index, 0) >= 127) return L"<too long>";
    SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

bool Enabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

class UploadImagesDialogTest : public testing::Test {
protected:
    INT_PTR Run(CUploadImagesDlg& dialog, DialogScript script)
    {
        return vptest::RunScripted(dialog, std::move(script), [&] { return dialog.DoModal(nullptr); });
    }
};

TEST_F(UploadImagesDialogTest, StartsFromTheRecordAndContinueReturnsTheCheckedPictures)
{
    CUploadImagesDlg dialog(kAddresses, kSizes);
    dialog.minWidth = 100;
    dialog.minHeight = 100;
    dialog.resize = true;
    dialog.removeSizeBar = false;
    dialog.tags = L"holiday";
    dialog.sizeIndex = 5;
    std::vector<bool> shown;
    std::wstring caption, size, minWidth;
    bool effectEnabled = true, resizeEnabled = false, removeSizeBarChecked = true;
    INT_PTR result = Run(dialog, [&](HWND window, HWND) {
        shown = ListChecks(window);
        wchar_t text[128] = {};
        GetWindowTextW(window, text, 128);
        caption = text;
        size = SelectedText(window, IDC_SIZE_LIST);
        minWidth = ControlText(window, IDC_MIN_WIDTH);
        effectEnabled = Enabled(window, IDC_EFFECT);
        resizeEnabled = Enabled(window, IDC_RESIZE);
        removeSizeBarChecked = IsControlChecked(window, IDC_REMOVE_SIZE_BAR);
        // The user unchecks the first picture, adds a tag and continues.
        ListView_SetCheckState(GetDlgItem(window, IDC_IMAGE_LIST), 0, FALSE);
        SetDlgItemTextW(window, IDC_TAGS, L"holiday beach");
        Click(window, IDOK);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ((std::vector<bool>{true, false, true, false}), shown) << "99 x 500 and 16 x 16 start unchecked";
    EXPECT_EQ(L"Vellumpost - Image Hosting", caption);
    EXPECT_EQ(L"1024x768 (17-inch monitor)", size);
    EXPECT_EQ(L"100", minWidth);
    EXPECT_FALSE(effectEnabled) << "effect only for a slideshow";
    EXPECT_TRUE(resizeEnabled);
    EXPECT_FALSE(removeSizeBarChecked);
    EXPECT_EQ((std::vector<std::wstring>{kAddresses[2]}), dialog.images);
    EXPECT_EQ((std::vector<size_t>{2}), dialog.checkedIndices);
    EXPECT_EQ(L"holiday beach", dialog.tags);
    EXPECT_EQ(L"1024x768 (17-inch monitor)", dialog.RequestedSize());
}

TEST_F(UploadImagesDialogTest, ApplyStoresTheMinimumsAndOnlyRemovesChecks)
{
    CUploadImagesDlg dialog(kAddresses, kSizes);
    dialog.minWidth = 100;
    dialog.minHeight = 100;
    std::vector<bool> afterLower, afterHigher;
    DWORD storedWidth = 0, storedHeight = 0;
    INT_PTR result = Run(dialog, [&](HWND window, HWND) {
        SetDlgItemTextW(window, IDC_MIN_WIDTH, L"50");
        SetDlgItemTextW(window, IDC_MIN_HEIGHT, L"50");
        Click(window, IDC_APPLY_FILTER);
        afterLower = ListChecks(window);
        SetDlgItemTextW(window, IDC_MIN_WIDTH, L"200");
        SetDlgItemTextW(window, IDC_MIN_HEIGHT, L"200");
        Click(window, IDC_APPLY_FILTER);
        afterHigher = ListChecks(window);
        SettingsStore settings;
        storedWidth = settings.WebMinWidth();
        storedHeight = settings.WebMinHeight();
        Click(window, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ((std::vector<bool>{true, false, true, false}), afterLower) << "a lower limit checks nothing new";
    EXPECT_EQ((std::vector<bool>{true, false, false, false}), afterHigher);
    EXPECT_EQ(200u, storedWidth);
    EXPECT_EQ(200u, storedHeight);
    EXPECT_EQ(kAddresses, dialog.images) << "Cancel keeps nothing back";
}

TEST_F(UploadImagesDialogTest, BuildSlideshowSwapsTheSizeListAndTheEnabledControls)
{
    CUploadImagesDlg dialog(kAddresses, kSizes);
    dialog.sizeIndex = 4;  // 800x600
    std::wstring slideshowSize, backSize;
    int slideshowEntries = 0;
    bool effectOn = false, backgroundOn = false, resizeOff = false, tagsOff = false, resizeBack = false;
    INT_PTR result = Run(dialog, [&](HWND window, HWND) {
        Click(window, IDC_BUILD_SLIDESHOW);
        slideshowSize = SelectedText(window, IDC_SIZE_LIST);
        slideshowEntries = static_cast<int>(SendDlgItemMessageW(window, IDC_SIZE_LIST, CB_GETCOUNT, 0, 0));
        effectOn = Enabled(window, IDC_EFFECT);
        backgroundOn = Enabled(window, IDC_BACKGROUND);
        resizeOff = !Enabled(window, IDC_RESIZE) && !Enabled(window, IDC_REMOVE_SIZE_BAR);
        tagsOff = !Enabled(window, IDC_TAGS) && !Enabled(window, IDC_INDIVIDUAL_TAGS);
        Click(window, IDC_BUILD_SLIDESHOW);
        backSize = SelectedText(window, IDC_SIZE_LIST);
        resizeBack = Enabled(window, IDC_RESIZE) && !Enabled(window, IDC_EFFECT);
        // A slideshow of the picture with a chosen effect and background.
        Click(window, IDC_BUILD_SLIDESHOW);
        SendDlgItemMessageW(window, IDC_EFFECT, CB_SETCURSEL, 2, 0);
        SendDlgItemMessageW(window, IDC_BACKGROUND, CB_SETCURSEL, 13, 0);
        Click(window, IDOK);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(L"640x480 (Big)", slideshowSize);
    EXPECT_EQ(3, slideshowEntries);
    EXPECT_TRUE(effectOn);
    EXPECT_TRUE(backgroundOn);
    EXPECT_TRUE(resizeOff);
    EXPECT_TRUE(tagsOff);
    EXPECT_EQ(L"640x480 (for message boards)", backSize);
    EXPECT_TRUE(resizeBack);
    EXPECT_TRUE(dialog.buildSlideshow);
    EXPECT_EQ(L"640x480 (Big)", dialog.RequestedSize()) << "640x480 maps to Big again";
    EXPECT_EQ(L"trans2", dialog.Effect());
    EXPECT_EQ(L"#FFFFFF", dialog.Background());
}

TEST_F(UploadImagesDialogTest, ABadMinimumKeepsTheDialogOpenWithTheFocusOnIt)
{
    CUploadImagesDlg dialog(kAddresses, kSizes);
    bool stillOpen = false, focusOnField = false;
    INT_PTR result = Run(dialog, [&](HWND window, HWND) {
        SetDlgItemTextW(window, IDC_MIN_HEIGHT, L"tall");
        Click(window, IDOK);
        // EndDialog would have hidden the dialog; it must still be there.
        stillOpen = IsWindowVisible(window) != FALSE;
        focusOnField = GetFocus() == GetDlgItem(window, IDC_MIN_HEIGHT);
        Click(window, IDCANCEL);
    });
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(focusOnField);
}

TEST_F(UploadImagesDialogTest, EnterInAnOpenSuggestionListDoesNotContinue)
{
    vptest::FakeTagCompletion completion;
    CUploadImagesDlg dialog(kAddresses, kSizes, &completion);
    bool attachedToTags = false, stayedWhileOpen = false;
    INT_PTR result = Run(dialog, [&](HWND window, HWND) {
        attachedToTags = completion.attached == GetDlgItem(window, IDC_TAGS);
        SetDlgItemTextW(window, IDC_TAGS, L"flowers");
        SetFocus(GetDlgItem(window, IDC_TAGS));
        completion.listOpen = true;
        SendMessageW(window, WM_COMMAND, IDOK, 0);
        stayedWhileOpen = IsWindowVisible(window) && completion.remembered.empty();
        completion.listOpen = false;
        SendMessageW(window, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDOK, result);
    EXPECT_TRUE(attachedToTags);
    EXPECT_TRUE(stayedWhileOpen);
    EXPECT_EQ((std::vector<std::wstring>{L"flowers"}), completion.remembered);
}

TEST_F(UploadImagesDialogTest, APageWithoutPicturesStillOpensAndClosesEmpty)
{
    CUploadImagesDlg dialog({}, {});
    INT_PTR result = Run(dialog, [&](HWND window, HWND) { Click(window, IDOK); });
    EXPECT_EQ(IDOK, result);
    EXPECT_TRUE(dialog.images.empty());
}

}  // namespace

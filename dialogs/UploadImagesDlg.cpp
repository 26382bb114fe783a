// The page pictures dialog (see the header). The record is filled from the
// controls by TakeControls and KeepChecked, which need no window; the window
// code only reads and writes controls around them.
#include "dialogs/UploadImagesDlg.h"

#include <commctrl.h>

#include <cstdint>

#include "common/LogWriter.h"
#include "common/ModuleInstance.h"
#include "common/SettingsStore.h"
#include "dialogs/DialogControls.h"
#include "dialogs/SizeLists.h"
#include "dialogs/TagCompletion.h"
#include "dialogs/TagsAutoComplete.h"
#include "resources/resource.h"

namespace {

const int kUrlColumnWidth = 400;

// The position of a row's picture in the list given at construction (kept as
// the row's item data); SIZE_MAX when the row cannot be read.
size_t RowIndex(HWND list, int row)
{
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return SIZE_MAX;
    return static_cast<size_t>(item.lParam);
}

bool Fits(const PictureSize& size, DWORD minWidth, DWORD minHeight)
{
    return size.width >= 0 && size.height >= 0 && static_cast<DWORD>(size.width) >= minWidth &&
           static_cast<DWORD>(size.height) >= minHeight;
}

}  // namespace

std::vector<bool> InitialChecks(const std::vector<PictureSize>& sizes, DWORD minWidth, DWORD minHeight)
{
    std::vector<bool> checks;
    checks.reserve(sizes.size());
    for (const PictureSize& size : sizes) checks.push_back(Fits(size, minWidth, minHeight));
    return checks;
}

size_t ClearChecksBelow(const std::vector<PictureSize>& sizes, std::vector<bool>& checks, DWORD minWidth,
                        DWORD minHeight)
{
    size_t cleared = 0;
    for (size_t i = 0; i < checks.size(); ++i) {
        PictureSize size = i < sizes.size() ? sizes[i] : PictureSize();
        if (checks[i] && !Fits(size, minWidth, minHeight)) {
            checks[i] = false;
            ++cleared;
        }
    }
    return cleared;
}

bool ParseDialogNumber(const std::wstring& text, DWORD* value)
{
    size_t begin = text.find_first_not_of(L" \t");
    if (begin == std::wstring::npos) return false;
    size_t end = text.find_last_not_of(L" \t") + 1;
    if (end - begin > 9) return false;  // keeps the value far from overflowing
    DWORD number = 0;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
        number = number * 10 + static_cast<DWORD>(text[i] - L'0');
    }
    *value = number;
    return true;
}

CUploadImagesDlg::CUploadImagesDlg(std::vector<std::wstring> addresses, std::vector<PictureSize> sizes,
                                   TagCompletion* completion)
    : ScriptedDialog("CUploadImagesDlg"),
      addresses_(std::move(addresses)),
      sizes_(std::move(sizes)),
      completion_(completion)
{
    sizes_.resize(addresses_.size());
    SettingsStore settings;
    minWidth = settings.WebMinWidth();
    minHeight = settings.WebMinHeight();
    images = addresses_;
}

std::wstring CUploadImagesDlg::RequestedSize() const
{
    if (buildSlideshow) return ListText(SlideshowSizeTexts(), sizeIndex);
    return resize ? ListText(PictureSizeTexts(), sizeIndex) : std::wstring();
}

int CUploadImagesDlg::TakeControls(const UploadImagesControls& controls, bool sizeListIsSlideshow)
{
    resize = controls.resize;
    removeSizeBar = controls.removeSizeBar;
    buildSlideshow = controls.buildSlideshow;
    individualTags = controls.individualTags;
    tags = controls.tags;
    const std::vector<std::wstring>& sizeList = sizeListIsSlideshow ? SlideshowSizeTexts() : PictureSizeTexts();
    if (controls.sizeIndex >= 0 && static_cast<size_t>(controls.sizeIndex) < sizeList.size()) {
        sizeIndex = controls.sizeIndex;
        sizeText = sizeList[static_cast<size_t>(sizeIndex)];
    }
    if (controls.effectIndex >= 0 && controls.effectIndex < kEffectCount) effectIndex = controls.effectIndex;
    if (controls.backgroundIndex >= 0 && controls.backgroundIndex < kBackgroundCount)
        backgroundIndex = controls.backgroundIndex;

    DWORD number = 0;
    if (!ParseDialogNumber(controls.minWidth, &number)) return IDC_MIN_WIDTH;
    minWidth = number;
    if (!ParseDialogNumber(controls.minHeight, &number)) return IDC_MIN_HEIGHT;
    minHeight = number;
    return 0;
}

void CUploadImagesDlg::KeepChecked(const std::vector<bool>& checks)
{
    images.clear();
    checkedIndices.clear();
    for (size_t i = 0; i < addresses_.size() && i < checks.size(); ++i) {
        if (!checks[i]) continue;
        images.push_back(addresses_[i]);
        checkedIndices.push_back(i);
    }
}

INT_PTR CUploadImagesDlg::DoModal(HWND owner)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&controls);
    ScopedTagCompletion completion(completion_);
    return ShowModal(IDD_UPLOAD_IMAGES, owner);
}

INT_PTR CUploadImagesDlg::OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_BUILD_SLIDESHOW:
            if (HIWORD(wParam) == BN_CLICKED) OnBuildSlideshow();
            return TRUE;
        case IDC_APPLY_FILTER:
            if (HIWORD(wParam) == BN_CLICKED) OnApply();
            return TRUE;
        case IDOK:
            OnContinue();
            return TRUE;
        case IDCANCEL:
            EndDialog(window_, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void CUploadImagesDlg::OnInitDialog()
{
    SetControlChecked(window_, IDC_RESIZE, resize);
    SetControlChecked(window_, IDC_REMOVE_SIZE_BAR, removeSizeBar);
    SetControlChecked(window_, IDC_BUILD_SLIDESHOW, buildSlideshow);
    SetDlgItemTextW(window_, IDC_TAGS, tags.c_str());
    SetControlChecked(window_, IDC_INDIVIDUAL_TAGS, individualTags);
    SetDlgItemInt(window_, IDC_MIN_WIDTH, minWidth, FALSE);
    SetDlgItemInt(window_, IDC_MIN_HEIGHT, minHeight, FALSE);

    HWND list = GetDlgItem(window_, IDC_IMAGE_LIST);
    SetUpListColumn(list, L"URL", kUrlColumnWidth, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    std::vector<bool> checks = InitialChecks(sizes_, minWidth, minHeight);
    for (size_t i = 0; i < addresses_.size(); ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(addresses_[i].c_str());
        item.lParam = static_cast<LPARAM>(i);
        int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (row >= 0) ListView_SetCheckState(list, row, checks[i] ? TRUE : FALSE);
    }

    FillSizeCombo(buildSlideshow, sizeIndex);
    look_.FillLook(window_, effectIndex, backgroundIndex);
    EnableForMode();
    if (completion_) completion_->Attach(GetDlgItem(window_, IDC_TAGS));
}

void CUploadImagesDlg::FillSizeCombo(bool slideshow, int index)
{
    HWND combo = GetDlgItem(window_, IDC_SIZE_LIST);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    const std::vector<std::wstring>& list = slideshow ? SlideshowSizeTexts() : PictureSizeTexts();
    for (const std::wstring& text : list) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index < 0 || static_cast<size_t>(index) >= list.size()) index = slideshow ? 1 : 2;
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    sizeListIsSlideshow_ = slideshow;
}

void CUploadImagesDlg::EnableForMode()
{
    for (int id : {IDC_RESIZE, IDC_REMOVE_SIZE_BAR, IDC_TAGS, IDC_INDIVIDUAL_TAGS})
        EnableWindow(GetDlgItem(window_, id), !buildSlideshow);
    for (int id : {IDC_EFFECT, IDC_BACKGROUND}) EnableWindow(GetDlgItem(window_, id), buildSlideshow);
}

UploadImagesControls CUploadImagesDlg::ReadControls() const
{
    UploadImagesControls controls;
    controls.resize = IsControlChecked(window_, IDC_RESIZE);
    controls.removeSizeBar = IsControlChecked(window_, IDC_REMOVE_SIZE_BAR);
    controls.buildSlideshow = IsControlChecked(window_, IDC_BUILD_SLIDESHOW);
    controls.individualTags = IsControlChecked(window_, IDC_INDIVIDUAL_TAGS);
    controls.tags = ControlText(window_, IDC_TAGS);
    controls.sizeIndex = ComboSelection(window_, IDC_SIZE_LIST);
    controls.effectIndex = ComboSelection(window_, IDC_EFFECT);
    controls.backgroundIndex = ComboSelection(window_, IDC_BACKGROUND);
    controls.minWidth = ControlText(window_, IDC_MIN_WIDTH);
    controls.minHeight = ControlText(window_, IDC_MIN_HEIGHT);
    return controls;
}

std::vector<bool> CUploadImagesDlg::ReadChecks() const
{
    HWND list = GetDlgItem(window_, IDC_IMAGE_LIST);
    std::vector<bool> checks(addresses_.size(), false);
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        size_t index = RowIndex(list, row);
        if (index < checks.size()) checks[index] = ListView_GetCheckState(list, row) != 0;
    }
    return checks;
}

bool CUploadImagesDlg::ReadBack()
{
    int badField = TakeControls(ReadControls(), sizeListIsSlideshow_);
    if (badField == 0) return true;
    MessageBeep(MB_OK);
    HWND field = GetDlgItem(window_, badField);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
    return false;
}

void CUploadImagesDlg::OnBuildSlideshow()
{
    bool wasSlideshow = sizeListIsSlideshow_;
    ReadBack();  // a bad minimum does not stop the switch
    if (buildSlideshow == wasSlideshow) return;
    int mapped = buildSlideshow ? SlideshowIndexForPictureIndex(sizeIndex) : PictureIndexForSlideshowIndex(sizeIndex);
    FillSizeCombo(buildSlideshow, mapped);
    sizeIndex = mapped;
    sizeText = ListText(buildSlideshow ? SlideshowSizeTexts() : PictureSizeTexts(), mapped);
    EnableForMode();
}

void CUploadImagesDlg::OnApply()
{
    if (!ReadBack()) return;
    SettingsStore settings;
    settings.SetWebMinWidth(minWidth);
    settings.SetWebMinHeight(minHeight);
    std::vector<bool> before = ReadChecks();
    std::vector<bool> after = before;
    ClearChecksBelow(sizes_, after, minWidth, minHeight);
    HWND list = GetDlgItem(window_, IDC_IMAGE_LIST);
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        size_t index = RowIndex(list, row);
        if (index < after.size() && before[index] && !after[index]) ListView_SetCheckState(list, row, FALSE);
    }
}

void CUploadImagesDlg::OnContinue()
{
    HWND tagsEdit = GetDlgItem(window_, IDC_TAGS);
    if (completion_ && GetFocus() == tagsEdit && completion_->IsListOpen()) {
        // Enter picks the suggestion; the dialog stays.
        SendMessageW(tagsEdit, WM_KEYDOWN, VK_RETURN, 0);
        return;
    }
    if (!ReadBack()) return;
    KeepChecked(ReadChecks());
    if (completion_) completion_->Remember(tags);
    EndDialog(window_, IDOK);
}

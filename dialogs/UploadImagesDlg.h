// The dialog that lists the pictures of a web page with check boxes and asks
// how to upload the checked ones: single pictures with resize, size bar and
// tags options, or one slideshow with its effect and background. The dialog is
// its own option record; the caller reads the record after Continue.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialogs/DialogScript.h"
#include "dialogs/ScriptedDialog.h"
#include "dialogs/SlideshowChoiceLists.h"
#include "dialogs/UploadParameters.h"

class TagCompletion;

struct PictureSize {
    int width = 0;
    int height = 0;
};

// Row checks: a picture is checked at start when it is at least as wide and
// as high as the minimums; the filter only ever removes checks.
std::vector<bool> InitialChecks(const std::vector<PictureSize>& sizes, DWORD minWidth, DWORD minHeight);
// Returns the number of checks removed.
size_t ClearChecksBelow(const std::vector<PictureSize>& sizes, std::vector<bool>& checks, DWORD minWidth,
                        DWORD minHeight);
// A minimum typed by the user: decimal digits only, optionally surrounded by
// blanks, at most 999999999. Anything else is refused.
bool ParseDialogNumber(const std::wstring& text, DWORD* value);

// What the dialog's controls show, read in one go.
struct UploadImagesControls {
    bool resize = false;
    bool removeSizeBar = false;
    bool buildSlideshow = false;
    bool individualTags = false;
    std::wstring tags;
    int sizeIndex = -1;  // of the list the size combo shows now
    int effectIndex = -1;
    int backgroundIndex = -1;
    std::wstring minWidth;
    std::wstring minHeight;
};

class CUploadImagesDlg : public ScriptedDialog,
                         public virtual CUploadParameters,
                         public virtual CCommonParameters,
                         public virtual CSlideshowDlgParameters,
                         public virtual CSlideshowParameters,
                         public virtual CCheckedImageOrderDlgParameters {
public:
    // addresses and sizes match by position (missing sizes count as 0 x 0).
    // The minimums start from the settings; the other options from the
    // records' defaults, which the caller may change before DoModal. Without
    // a completion the dialog makes its own over the remembered tags.
    CUploadImagesDlg(std::vector<std::wstring> addresses, std::vector<PictureSize> sizes,
                     TagCompletion* completion = nullptr);

    // IDOK (Continue) or IDCANCEL; -1 when the dialog cannot be created.
    INT_PTR DoModal(HWND owner);

    DWORD minWidth;
    DWORD minHeight;

    // The size text the upload asks for: a slideshow size, a picture size when
    // resizing, else empty (no resizing).
    std::wstring RequestedSize() const;

    // Takes the control states into the record. Returns 0, or the id of a
    // minimum field whose text is not a number (that minimum keeps its value).
    // sizeListIsSlideshow tells which list the size index refers to.
    int TakeControls(const UploadImagesControls& controls, bool sizeListIsSlideshow);
    // Keeps the checked pictures: images and checkedIndices in list order.
    void KeepChecked(const std::vector<bool>& checks);

    const std::vector<std::wstring>& Addresses() const { return addresses_; }
    const std::vector<PictureSize>& Sizes() const { return sizes_; }

private:
    INT_PTR OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInitDialog();
    void OnBuildSlideshow();
    void OnApply();
    void OnContinue();
    // Reads the controls into the record; on a bad number beeps, focuses the
    // field and answers false.
    bool ReadBack();
    UploadImagesControls ReadControls() const;
    std::vector<bool> ReadChecks() const;
    void FillSizeCombo(bool slideshow, int index);
    void EnableForMode();

    std::vector<std::wstring> addresses_;
    std::vector<PictureSize> sizes_;
    TagCompletion* completion_;
    bool sizeListIsSlideshow_ = false;
    SlideshowChoiceLists look_;
};

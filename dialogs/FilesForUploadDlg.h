// The upload file dialog: the system's file-open dialog with an options panel
// below it (resize and size, thumbnail size bar, tags). The object is its own
// option record; after Run the caller reads the chosen files and the options.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "dialogs/DialogWindow.h"
#include "dialogs/UploadParameters.h"

class TagCompletion;

// How an open-file dialog with a panel of options is shown.
struct OpenFileDialogSetup {
    HWND owner = nullptr;
    std::wstring filter;  // "|"-separated pairs of name and patterns
    std::wstring title;
    DWORD flags = 0;
    UINT panelTemplate = 0;
    LPOFNHOOKPROC hook = nullptr;  // the panel's procedure
    LPARAM data = 0;               // given to the hook with WM_INITDIALOG
};
// Shows the system's open-file dialog with a buffer of 261000 characters.
// The chosen paths, or nothing when the user canceled; a failure of the
// dialog itself is written to log.
std::vector<std::wstring> ShowOpenFileDialog(const OpenFileDialogSetup& setup, const char* logCategory);

// Which files the dialog offers.
enum class UploadFileTypes {
    kAll,       // every supported format, then each kind
    kPictures,  // pictures only
    kVideos,    // videos only
};

// What the panel's controls show, read in one go.
struct UploadPanelControls {
    bool resize = false;
    bool removeSizeBar = false;
    bool individualTags = false;
    std::wstring tags;
    int sizeIndex = -1;
};

class CFilesForUploadDlg : public DialogWindow, public virtual CUploadParameters, public virtual CCommonParameters {
public:
    static const DWORD kFileBufferChars = 261000;
    static const DWORD kFlags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_ENABLETEMPLATE | OFN_ENABLEHOOK |
                                OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;

    // The options start from the records' defaults; the caller may set them
    // (resize, sizeIndex, removeSizeBar, tags, isPublic) before Run. Without a
    // completion the tags box offers the remembered tags through its own.
    CFilesForUploadDlg(HWND owner, bool multipleFiles, TagCompletion* completion = nullptr);

    // Offers only pictures or only videos; kAll restores the full list.
    void SetFileTypes(UploadFileTypes types) { fileTypes_ = types; }
    // A filter of the caller's own: "|"-separated pairs of name and patterns.
    void SetFilter(std::wstring filter) { filter_ = std::move(filter); }

    // Shows the dialog; true when files were chosen.
    bool Run();
    const std::vector<std::wstring>& Files() const { return files_; }
    // The size text the upload asks for: the chosen size when resizing, else empty.
    std::wstring RequestedSize() const;

    // The filter the dialog will get, still in its "|" form.
    std::wstring FilterText() const;
    DWORD Flags() const { return kFlags | (multipleFiles_ ? OFN_ALLOWMULTISELECT : 0); }
    std::wstring Title() const;
    // Takes the panel's control states into the record.
    void TakeControls(const UploadPanelControls& controls);

    // "|" become NULs and the list ends with two NULs whatever the text ended with.
    static std::wstring FilterForDialog(const std::wstring& text);
    // The paths in a file buffer the dialog filled: one full path, or a folder
    // followed by names. Reads nothing at or past capacity.
    static std::vector<std::wstring> SplitChosenFiles(const wchar_t* buffer, size_t capacity);

private:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInitPanel();
    void OnResizeClicked();
    void OnPanelSize(int width);
    UploadPanelControls ReadControls() const;

    HWND owner_;
    bool multipleFiles_;
    TagCompletion* completion_;
    UploadFileTypes fileTypes_ = UploadFileTypes::kAll;
    std::wstring filter_;
    std::vector<std::wstring> files_;
};

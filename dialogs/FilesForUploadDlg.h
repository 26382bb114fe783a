// The upload file dialog: the system's file-open dialog with an options panel
// below it (resize and size, thumbnail size bar, tags). The object is its own
// option record; after Run the caller reads the chosen files and the options.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialogs/DialogScript.h"
#include "dialogs/UploadParameters.h"

class TagCompletion;

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

class CFilesForUploadDlg : public virtual CUploadParameters, public virtual CCommonParameters {
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
    void SetScript(DialogScript script) { script_ = std::move(script); }

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
    static UINT_PTR CALLBACK HookProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitPanel();
    void OnResizeClicked();
    void OnPanelSize(int width);
    UploadPanelControls ReadControls() const;

    HWND owner_;
    bool multipleFiles_;
    TagCompletion* completion_;
    UploadFileTypes fileTypes_ = UploadFileTypes::kAll;
    std::wstring filter_;
    DialogScript script_;
    HWND panel_ = nullptr;
    std::vector<std::wstring> files_;
};

// The windows the scriptable uploader opens: the upload and slideshow file
// dialogs, tags, slide order, warnings, the screenshot question and the result
// browser. One replaceable set per process, so tests answer for the user.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

// The upload options the script methods start from: the toolbar's when there
// is one, else the settings.
struct UploadOptions {
    bool resize = false;
    std::wstring format;  // size text of the toolbar, empty from the settings
    bool isPublic = true;
    bool removeSizeBar = true;
    int sizeIndex = 2;  // index into the picture sizes (ResizeTo - first id)
};

// What the upload file dialog is opened with and what it gives back.
struct UploadDialogRequest {
    HWND owner = nullptr;
    UploadOptions options;
    // Filter string id: pictures only, videos only, or all kinds (0).
    UINT filterId = 0;
    bool multiSelect = true;
};
struct UploadDialogChoice {
    std::vector<std::wstring> files;
    std::wstring sizeText;  // empty: no resizing
    bool isPublic = true;
    bool removeSizeBar = true;
    std::wstring tags;
    bool individualTags = false;
};

// The per-file tags of the tags dialog.
struct TagsDialogChoice {
    std::vector<std::wstring> tags;  // one per file
    std::vector<bool> publicFlags;   // one per file
};

// The slideshow file dialog's request and answer.
struct SlideshowDialogRequest {
    HWND owner = nullptr;
    UploadOptions options;
    int sizeIndex = 1;  // index into the slideshow sizes
};
struct SlideshowDialogChoice {
    std::vector<std::wstring> files;
    std::wstring sizeText;
    bool isPublic = true;
    std::wstring effect;      // "trans0".."trans3"
    std::wstring background;  // "#RRGGBB"
};

// The windows the script methods open. Each is one replaceable function, so
// tests can answer for the user and a dialog can be plugged in where it
// lives. Results: S_OK confirmed, S_FALSE canceled, a failure otherwise.
struct FileUploaderDialogs {
    std::function<HRESULT(const UploadDialogRequest&, UploadDialogChoice&)> uploadFiles;
    // Per-file tags for files, starting from tags and isPublic.
    std::function<HRESULT(HWND owner, const std::vector<std::wstring>& files, const std::wstring& tags,
                          bool isPublic, TagsDialogChoice&)>
        tags;
    std::function<HRESULT(const SlideshowDialogRequest&, SlideshowDialogChoice&)> slideshowFiles;
    // Lets the user put the slides in order (files is changed in place).
    std::function<HRESULT(HWND owner, std::vector<std::wstring>& files)> slideOrder;
    // Tells the user that some files will not go into a slideshow (pictures
    // only); true: go on with the rest.
    std::function<bool(HWND owner, const std::vector<std::wstring>& unsupported)> unsupportedFiles;
    // A new browser window for the results when the caller gave no destination.
    std::function<HRESULT(Microsoft::WRL::ComPtr<IUnknown>& window)> resultWindow;
    // Asks the user whether the page on host may capture the desktop and
    // upload it; true: yes.
    std::function<bool(HWND owner, const std::wstring& host)> confirmScreenShot;

    // The product's own windows.
    static FileUploaderDialogs Defaults();
};

// Leaves out of files what a slideshow cannot take, after telling the user
// through dialogs.unsupportedFiles. False when nothing is to be sent: the user
// declined the rest, or no file was left.
bool KeepSlideshowFiles(const FileUploaderDialogs& dialogs, HWND owner, std::vector<std::wstring>& files);

// Replaces the windows every uploader object opens (all at once); a member
// left empty keeps the product's own.
void InstallFileUploaderDialogs(const FileUploaderDialogs& dialogs);
// A copy of the windows installed now.
FileUploaderDialogs InstalledFileUploaderDialogs();

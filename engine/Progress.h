// The progress display of one upload: a native dialog or the page's script
// functions. The strategies and the uploader drive it; the uploader owns it.
#pragma once

#include <windows.h>
#include <oaidl.h>

class ImageUploader;

class IProgress {
public:
    virtual void Show(bool show) = 0;
    virtual void SetItemName(const wchar_t* name) = 0;
    // Starts item index (0-based) of count.
    virtual void SetItemCount(int index, int count) = 0;
    // Progress within the current item; ignored unless 0 < position < range.
    virtual void SetProgress(int position, int range) = 0;
    virtual void SetSize(ULONGLONG bytes) = 0;
    virtual void FinishStage() = 0;
    // Asks the user; returns IDYES, IDNO, IDCANCEL or another message-box answer.
    virtual int ShowError(const wchar_t* text, const wchar_t* caption, UINT flags, const wchar_t* detail) = 0;
    virtual HWND GetWindow() = 0;
    virtual bool IsCanceled() = 0;
    virtual void BeginConversion() = 0;
    virtual ~IProgress() = default;
    // sent of total bytes of the current request are out; sent == total: the
    // service's answer is awaited. Declared after the destructor so that the
    // operations above keep their places.
    virtual void SetTransferred(ULONGLONG sent, ULONGLONG total) = 0;
};

// The native progress dialog bound to uploader.
IProgress* CreateDialogProgress(ImageUploader* uploader);
// The page-script display bound to uploader and the page window's script
// object (the window's IDispatch).
IProgress* CreateScriptProgress(ImageUploader* uploader, IDispatch* windowScript);

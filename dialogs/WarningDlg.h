// The warning that lists the files of a selection that will not be uploaded,
// each with the reason, before an upload or slideshow goes on. The callers
// decide what happens next from the answer and their own count.
#pragma once

#include <string>
#include <vector>

#include "dialogs/ModalDialog.h"
#include "engine/FileUploadStrategy.h"

class CWarningDlg : public CModalDialog {
public:
    using FileTypeMode = CFileUploadStrategy::FileTypeMode;

    // Lists the paths that fail the file-type test in mode, in their order.
    CWarningDlg(std::vector<std::wstring> paths, FileTypeMode mode);

    // The answer of the user about paths, shown modal over owner: true when the
    // upload goes on with the rest (Continue), false on Cancel or when the
    // dialog cannot be shown.
    static bool Confirm(HWND owner, std::vector<std::wstring> paths, FileTypeMode mode);
    // The warning before a slideshow (only pictures go into one), in the form
    // of FileUploaderDialogs::unsupportedFiles.
    static bool ConfirmSlideshowFiles(HWND owner, const std::vector<std::wstring>& unsupported);
    // The warning before an upload of files, over the window the user works
    // in, in the form of CFileUploadStrategy::RejectedFilesPrompt.
    static bool ConfirmUploadFiles(const std::vector<std::wstring>& paths);

protected:
    void OnInitDialog() override;

private:
    std::vector<std::wstring> paths_;
    FileTypeMode mode_;
};

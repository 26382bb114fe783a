// The slideshow file dialog: the system's open-file dialog for pictures with
// three more choices below its own rows: the slideshow's size (Format), its
// transition effect and its background. The object is its own record; after
// Run the caller reads the chosen files and the choices.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialogs/DialogWindow.h"
#include "dialogs/SlideshowChoiceLists.h"
#include "dialogs/UploadParameters.h"

// A control's new place when it lines up with a column of the file dialog:
// the column's left edge and width, its own top and height.
RECT AlignedToColumn(const RECT& own, const RECT& column);

class CFilesForSlideshowDlg : public DialogWindow,
                              public virtual CCommonParameters,
                              public virtual CSlideshowParameters {
public:
    // The choices start from the medium size, the first effect and the first
    // background; the caller may set them before Run.
    explicit CFilesForSlideshowDlg(HWND owner);

    // Shows the dialog (several pictures may be chosen); true when files were chosen.
    bool Run();
    const std::vector<std::wstring>& Files() const { return files_; }

private:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Puts the labels under the dialog's "File name" label and the lists
    // under its file name box.
    void AlignWithFileDialog();

    HWND owner_;
    SlideshowChoiceLists lists_;
    std::vector<std::wstring> files_;
};

// The slide order dialog: the chosen pictures as a list with their thumbnails,
// which the user reorders by dragging. Continue puts the record's paths in the
// list's order; Cancel leaves them as they came. The slideshow dialog builds
// on it with the size, effect and background choices.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "dialogs/ScriptedDialog.h"
#include "dialogs/DragListCtrl.h"
#include "dialogs/UploadParameters.h"

// The paths in the order the rows name them (each row's item data is the
// index its path had). A row naming no path, or a path already named, is
// skipped; paths no row names follow in their old order, so none is lost.
std::vector<std::wstring> ReorderedPaths(const std::vector<std::wstring>& paths, const std::vector<LPARAM>& rowData);
// The file name of a path: what follows its last "\" or "/".
std::wstring SlideFileName(const std::wstring& path);

class CSlideOrderDlg : public ScriptedDialog, public virtual CImageOrderDlgParameters {
public:
    explicit CSlideOrderDlg(std::vector<std::wstring> paths);
    ~CSlideOrderDlg() override;

    // IDOK (images now in the list's order) or IDCANCEL; -1 when the dialog
    // cannot be created.
    INT_PTR DoModal(HWND owner);
    // After the dialog opened: which paths gave a picture (the others show
    // the default picture).
    const std::vector<bool>& Loaded() const { return loaded_; }

protected:
    virtual UINT TemplateId() const;
    virtual UINT ColumnTextId() const;
    // The text of a path's row.
    virtual std::wstring RowText(const std::wstring& path) const { return SlideFileName(path); }
    // Fills and reads the dialog's further choices, if it has any.
    virtual void InitChoices() {}
    virtual void ReadChoices() {}

private:
    INT_PTR OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInitDialog();
    void OnContinue();

    CDragListCtrl list_;
    HIMAGELIST thumbnails_ = nullptr;
    std::vector<bool> loaded_;
};

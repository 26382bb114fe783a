// The slideshow dialog for pictures that are already known (such as pictures
// dropped on the toolbar): their order, shown with full paths, and the
// slideshow's size, effect and background. OK writes the order and the
// choices into the record.
#pragma once

#include "dialogs/SlideOrderDlg.h"
#include "dialogs/SlideshowChoiceLists.h"

class CSlideShowDlg : public CSlideOrderDlg,
                      public virtual CCommonParameters,
                      public virtual CSlideshowParameters {
public:
    // The choices start from the medium size, the first effect and the first
    // background; the caller may set them before DoModal.
    explicit CSlideShowDlg(std::vector<std::wstring> paths);

protected:
    UINT TemplateId() const override;
    UINT ColumnTextId() const override;
    std::wstring RowText(const std::wstring& path) const override { return path; }
    void InitChoices() override;
    void ReadChoices() override;

private:
    SlideshowChoiceLists lists_;
};

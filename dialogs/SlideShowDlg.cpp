// The slideshow dialog (see the header).
#include "dialogs/SlideShowDlg.h"

#include "dialogs/SizeLists.h"
#include "resources/resource.h"

CSlideShowDlg::CSlideShowDlg(std::vector<std::wstring> paths) : CSlideOrderDlg(std::move(paths))
{
    sizeIndex = SlideshowChoiceLists::kDefaultSizeIndex;
    sizeText = ListText(SlideshowSizeTexts(), sizeIndex);
}

UINT CSlideShowDlg::TemplateId() const
{
    return IDD_SLIDESHOW;
}

UINT CSlideShowDlg::ColumnTextId() const
{
    return IDS_SLIDESHOW_FILE_COLUMN;
}

void CSlideShowDlg::InitChoices()
{
    SlideshowChoiceLists::FillSizes(window_, sizeIndex);
    lists_.FillLook(window_, effectIndex, backgroundIndex);
}

void CSlideShowDlg::ReadChoices()
{
    SlideshowChoiceLists::ReadSize(window_, *this);
    SlideshowChoiceLists::ReadLook(window_, *this);
}

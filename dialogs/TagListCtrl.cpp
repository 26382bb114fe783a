// The tags dialog's picture list (see the header).
#include "dialogs/TagListCtrl.h"

#include <algorithm>

#include "common/LogWriter.h"
#include "common/ModuleInstance.h"
#include "common/TextConvert.h"
#include "resources/resource.h"

namespace {

const COLORREF kSelectedRow = RGB(150, 200, 255);
const COLORREF kIconTransparent = RGB(255, 0, 255);
const int kTextGap = 6;        // between the thumbnail and the texts
const int kColumnMargin = 16;  // the column stays this much narrower than the list
const int kSubclassId = 1;
// The list window's property that names its CTagListCtrl.
const wchar_t kOwnerProperty[] = L"VellumpostTagListCtrl";

int TextWidth(HDC dc, const std::wstring& text)
{
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

}  // namespace

TagRowLayout TagRowLayout::For(const RECT& row, const TagRowMetrics& metrics)
{
    TagRowLayout layout;
    layout.thumbnail = {row.left + 1, row.top + 1, row.left + 1 + kThumbnailSize, row.top + 1 + kThumbnailSize};
    const LONG textLeft = layout.thumbnail.right + kTextGap;
    const LONG middle = row.top + (row.bottom - row.top) / 2;
    layout.upperHalf = {textLeft, row.top, row.right - 1, middle};
    layout.lowerHalf = {textLeft, middle, row.right - 1, row.bottom};
    const int labelEnd = textLeft + metrics.permissionsLabel;
    layout.iconLeft = labelEnd + kIconGap;
    layout.wordLeft = layout.iconLeft + kWordOffset;
    layout.toggle = {labelEnd, row.bottom - (row.bottom - row.top) / 3, layout.wordLeft + metrics.widestPermission + 20,
                     row.bottom};
    return layout;
}

CTagListCtrl::~CTagListCtrl()
{
    Release();
}

bool CTagListCtrl::Subclass(HWND list)
{
    Release();
    if (!list) return false;
    list_ = list;
    tagsLabel_ = LoadModuleString(IDS_TAGS_LABEL);
    permissionsLabel_ = LoadModuleString(IDS_PERMISSIONS_LABEL);
    privateWord_ = LoadModuleString(IDS_PERMISSION_PRIVATE);
    publicWord_ = LoadModuleString(IDS_PERMISSION_PUBLIC);
    selectedBrush_ = CreateSolidBrush(kSelectedRow);
    windowBrush_ = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
    framePen_ = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    icons_ = ImageList_LoadImageW(ThisModule(), MAKEINTRESOURCEW(IDB_PERMISSIONS), TagRowLayout::kIconWidth, 0,
                                  kIconTransparent, IMAGE_BITMAP, LR_CREATEDIBSECTION);
    if (!icons_) LogWriter("CTagListCtrl").Format("Cannot load the permission icons, error %lu", GetLastError());

    HDC dc = GetDC(list_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list_, WM_GETFONT, 0, 0)));
    metrics_.tagsLabel = TextWidth(dc, tagsLabel_);
    metrics_.permissionsLabel = TextWidth(dc, permissionsLabel_);
    metrics_.widestPermission = std::max(TextWidth(dc, publicWord_), TextWidth(dc, privateWord_));
    SelectObject(dc, old);
    ReleaseDC(list_, dc);

    // 400 pixels until the column is fitted to the list.
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 400;
    SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    if (!SetWindowSubclass(list_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        Release();
        return false;
    }
    SetPropW(list_, kOwnerProperty, this);
    FitColumn();
    return true;
}

void CTagListCtrl::Release() noexcept
{
    if (list_) {
        RemoveWindowSubclass(list_, SubclassProc, kSubclassId);
        RemovePropW(list_, kOwnerProperty);
    }
    list_ = nullptr;
    if (icons_) ImageList_Destroy(icons_);
    icons_ = nullptr;
    for (HGDIOBJ* object : {reinterpret_cast<HGDIOBJ*>(&selectedBrush_), reinterpret_cast<HGDIOBJ*>(&windowBrush_),
                            reinterpret_cast<HGDIOBJ*>(&framePen_)}) {
        if (*object) DeleteObject(*object);
        *object = nullptr;
    }
}

const CTagListCtrl* CTagListCtrl::Of(HWND list)
{
    return list ? static_cast<const CTagListCtrl*>(GetPropW(list, kOwnerProperty)) : nullptr;
}

std::wstring CTagListCtrl::RowText(int row) const
{
    // The list reports how much it copied; grow until the text fits.
    for (int capacity = 256; capacity <= (1 << 20); capacity *= 4) {
        std::wstring text(static_cast<size_t>(capacity), L'\0');
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = &text[0];
        item.cchTextMax = capacity;
        const int copied = static_cast<int>(
            SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (copied < capacity - 1) {
            text.resize(static_cast<size_t>(std::max(copied, 0)));
            return text;
        }
    }
    return std::wstring();
}

bool CTagListCtrl::IsPublic(int row) const
{
    return ListView_GetCheckState(list_, row) != 0;
}

void CTagListCtrl::DrawLine(HDC dc, RECT area, const std::wstring& text) const
{
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void CTagListCtrl::Draw(const DRAWITEMSTRUCT& item) const
{
    if (static_cast<int>(item.itemID) < 0) return;
    const int row = static_cast<int>(item.itemID);
    HDC dc = item.hDC;
    const RECT bounds = item.rcItem;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;

    // The row inside a one-pixel frame.
    HGDIOBJ oldPen = SelectObject(dc, framePen_);
    HGDIOBJ oldBrush = SelectObject(dc, selected ? selectedBrush_ : windowBrush_);
    Rectangle(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);

    const TagRowLayout layout = TagRowLayout::For(bounds, metrics_);
    LVITEMW image = {};
    image.mask = LVIF_IMAGE;
    image.iItem = row;
    HIMAGELIST thumbnails = reinterpret_cast<HIMAGELIST>(SendMessageW(list_, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    if (thumbnails && SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&image)) && image.iImage >= 0 &&
        image.iImage < ImageList_GetImageCount(thumbnails))
        ImageList_Draw(thumbnails, image.iImage, dc, layout.thumbnail.left, layout.thumbnail.top, ILD_NORMAL);

    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawLine(dc, layout.upperHalf, tagsLabel_ + L" " + RowText(row));
    DrawLine(dc, layout.lowerHalf, permissionsLabel_);
    const bool isPublic = IsPublic(row);
    if (icons_) {
        int iconHeight = 0, iconWidth = 0;
        ImageList_GetIconSize(icons_, &iconWidth, &iconHeight);
        const int top = layout.lowerHalf.top + (layout.lowerHalf.bottom - layout.lowerHalf.top - iconHeight) / 2;
        ImageList_Draw(icons_, isPublic ? 1 : 0, dc, layout.iconLeft, top, ILD_TRANSPARENT);
    }
    RECT word = layout.lowerHalf;
    word.left = layout.wordLeft;
    DrawLine(dc, word, isPublic ? publicWord_ : privateWord_);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
}

POINT CTagListCtrl::PermissionPoint(int row) const
{
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    if (!SendMessageW(list_, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds)))
        return POINT{-1, -1};
    const TagRowLayout layout = TagRowLayout::For(bounds, metrics_);
    return POINT{layout.iconLeft + TagRowLayout::kIconWidth / 2, (layout.toggle.top + layout.toggle.bottom) / 2};
}

bool CTagListCtrl::TogglesPermission(POINT click) const
{
    LVHITTESTINFO hit = {};
    hit.pt = click;
    const int row = static_cast<int>(SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0 || !(ListView_GetItemState(list_, row, LVIS_SELECTED) & LVIS_SELECTED)) return false;
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    if (!SendMessageW(list_, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds)))
        return false;
    const TagRowLayout layout = TagRowLayout::For(bounds, metrics_);
    if (!PtInRect(&layout.toggle, click)) return false;
    ListView_SetCheckState(list_, row, IsPublic(row) ? FALSE : TRUE);
    return true;
}

void CTagListCtrl::FitColumn() const
{
    RECT client = {};
    GetClientRect(list_, &client);
    const int width = std::max(0, static_cast<int>(client.right - client.left) - kColumnMargin);
    SendMessageW(list_, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(width, 0));
}

LRESULT CALLBACK CTagListCtrl::SubclassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR self)
try {
    return reinterpret_cast<CTagListCtrl*>(self)->OnMessage(message, wParam, lParam);
} catch (...) {
    LogWriter("CTagListCtrl").Format("EXCEPTION in the list procedure, message 0x%x", message);
    return DefSubclassProc(list, message, wParam, lParam);
}

LRESULT CTagListCtrl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND list = list_;
    switch (message) {
    case WM_LBUTTONDOWN: {
        const POINT click = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        // A click on the permission of the selected row toggles it and does
        // not start editing the row's tags.
        if (TogglesPermission(click)) {
            SetFocus(list);
            return 0;
        }
        // The check box is not drawn (the permission shows it); a click where
        // it would be only selects the row.
        LVHITTESTINFO hit = {};
        hit.pt = click;
        const int row = static_cast<int>(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (row >= 0 && (hit.flags & LVHT_ONITEMSTATEICON)) {
            SetFocus(list);
            ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
            ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            return 0;
        }
        break;
    }
    case WM_SIZE: {
        const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
        FitColumn();
        return result;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(list, SubclassProc, kSubclassId);
        RemovePropW(list, kOwnerProperty);
        list_ = nullptr;
        break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

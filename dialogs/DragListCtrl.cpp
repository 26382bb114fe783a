// The drag-reordering list view (see the header). The list view itself only
// reports the start of a drag (to its parent); the mouse moves, the button
// release and the context menu arrive here through a window subclass.
#include "dialogs/DragListCtrl.h"

#include <commctrl.h>

#include <exception>

#include "common/LogWriter.h"
#include "common/ModuleInstance.h"
#include "resources/resource.h"

namespace {

LogWriter Log()
{
    return LogWriter("CDragListCtrl");
}

const UINT_PTR kSubclassId = 1;
// Longest column text carried over when a row moves.
const int kMaxItemText = 32768;

}  // namespace

std::vector<ListMove> GatherMoves(std::vector<bool> selected, int target, int lastDrop)
{
    std::vector<ListMove> moves;
    const int count = static_cast<int>(selected.size());
    if (target < 0 || target >= count || selected[static_cast<size_t>(target)]) return moves;
    auto move = [&](int from, int to) {
        if (from == to) return;
        moves.push_back({from, to});
        ApplyListMove(selected, {from, to});
    };
    auto fromBelow = [&] {
        int to = target;
        for (int row = target; row < count; ++row)
            if (selected[static_cast<size_t>(row)]) move(row, to++);
    };
    auto fromAbove = [&] {
        int to = target;
        for (int row = target; row >= 0; --row)
            if (selected[static_cast<size_t>(row)]) move(row, to--);
    };
    if (target < lastDrop) {
        fromBelow();
        fromAbove();
    } else {
        fromAbove();
        fromBelow();
    }
    return moves;
}

CDragListCtrl::~CDragListCtrl()
{
    Detach();
}

bool CDragListCtrl::Attach(HWND list)
{
    Detach();
    if (!list || !SetWindowSubclass(list, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        Log().Write("FAILED to take over the list's messages");
        return false;
    }
    list_ = list;
    return true;
}

void CDragListCtrl::Detach()
{
    if (!list_) return;
    if (dragging_) EndDrag();
    RemoveWindowSubclass(list_, &SubclassProc, kSubclassId);
    list_ = nullptr;
}

void CDragListCtrl::BeginDrag()
{
    if (!list_) return;
    lastDrop_ = -1;
    dragging_ = true;
    SetCapture(list_);
}

void CDragListCtrl::EndDrag()
{
    if (!dragging_) return;
    dragging_ = false;  // before the release, whose capture change would end it again
    if (GetCapture() == list_) ReleaseCapture();
}

void CDragListCtrl::DragOver(POINT point)
{
    if (!dragging_) return;
    LVHITTESTINFO hit = {};
    hit.pt = point;
    int row = static_cast<int>(SendMessageW(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0 || row >= RowCount()) return;
    const std::vector<ListMove> moves = GatherMoves(SelectedRows(), row, lastDrop_);
    for (const ListMove& move : moves) MoveItem(move.from, move.to);
    if (!moves.empty()) lastDrop_ = row;
}

int CDragListCtrl::RowCount() const
{
    return list_ ? static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

bool CDragListCtrl::CheckBoxMode() const
{
    DWORD styles = static_cast<DWORD>(SendMessageW(list_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    return (styles & LVS_EX_CHECKBOXES) != 0;
}

std::vector<bool> CDragListCtrl::SelectedRows() const
{
    std::vector<bool> selected(static_cast<size_t>(RowCount()), false);
    for (size_t row = 0; row < selected.size(); ++row)
        selected[row] = SendMessageW(list_, LVM_GETITEMSTATE, row, LVIS_SELECTED) != 0;
    return selected;
}

std::wstring CDragListCtrl::ItemText(int row, int column) const
{
    // The list copies at most the buffer's size: grow until the text fits.
    for (int size = 256; size <= kMaxItemText; size *= 2) {
        std::wstring text(static_cast<size_t>(size), L'\0');
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = &text[0];
        item.cchTextMax = size;
        int length = static_cast<int>(SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                                   reinterpret_cast<LPARAM>(&item)));
        if (length < size - 1) {
            text.resize(static_cast<size_t>(length < 0 ? 0 : length));
            return text;
        }
    }
    return std::wstring();
}

void CDragListCtrl::MoveItem(int from, int to)
{
    const int count = RowCount();
    if (from < 0 || from >= count || to < 0 || to >= count || from == to) return;
    HWND header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
    int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    if (columns < 1) columns = 1;
    columnTexts_.clear();
    for (int column = 0; column < columns; ++column) columnTexts_.push_back(ItemText(from, column));

    LVITEMW item = {};
    item.mask = LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.iItem = from;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    if (!SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return;
    const bool checkBoxes = CheckBoxMode();
    const bool checked = checkBoxes && ListView_GetCheckState(list_, from);
    const UINT state = item.state & (LVIS_SELECTED | LVIS_FOCUSED);

    SendMessageW(list_, LVM_DELETEITEM, static_cast<WPARAM>(from), 0);
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = to;
    item.iSubItem = 0;
    item.pszText = &columnTexts_[0][0];
    int row = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) {
        Log().Format("FAILED to put row %d back at %d", from, to);
        return;
    }
    for (int column = 1; column < columns; ++column) {
        LVITEMW sub = {};
        sub.iSubItem = column;
        sub.pszText = &columnTexts_[static_cast<size_t>(column)][0];
        SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
    }
    if (checkBoxes) ListView_SetCheckState(list_, row, checked ? TRUE : FALSE);
    // The moved row keeps its selection and focus, so the block stays one
    // block under the cursor and the keyboard stays on it.
    LVITEMW keep = {};
    keep.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    keep.state = state;
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&keep));
}

void CDragListCtrl::SetChecks(bool checked)
{
    if (!list_ || !CheckBoxMode()) return;
    std::vector<bool> selected = SelectedRows();
    bool any = false;
    for (bool one : selected) any = any || one;
    for (size_t row = 0; row < selected.size(); ++row)
        if (selected[row] || !any) ListView_SetCheckState(list_, static_cast<int>(row), checked ? TRUE : FALSE);
}

bool CDragListCtrl::ShowCheckMenu(LPARAM position)
{
    if (!CheckBoxMode() || RowCount() == 0) return false;
    POINT at = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    if (position == -1) {
        // Opened from the keyboard: at the list's top-left corner.
        RECT rect;
        GetWindowRect(list_, &rect);
        at = {rect.left, rect.top};
    }
    HMENU menu = LoadMenuW(ThisModule(), MAKEINTRESOURCEW(IDR_CHECK_MENU));
    if (!menu) {
        Log().Format("FAILED to load the check menu, error %lu", GetLastError());
        return true;
    }
    // The chosen command comes back to the list as WM_COMMAND.
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, list_, nullptr);
    DestroyMenu(menu);
    return true;
}

LRESULT CALLBACK CDragListCtrl::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR data)
try {
    auto* self = reinterpret_cast<CDragListCtrl*>(data);
    bool handled = false;
    LRESULT result = self ? self->OnMessage(message, wParam, lParam, handled) : 0;
    if (message == WM_NCDESTROY && self) {
        // The list removes its subclasses itself as it goes.
        self->list_ = nullptr;
        self->dragging_ = false;
    }
    return handled ? result : DefSubclassProc(window, message, wParam, lParam);
} catch (const std::exception& e) {
    Log().Write("EXCEPTION in the list procedure: ", e.what());
    return 0;
} catch (...) {
    Log().Format("EXCEPTION in the list procedure, message 0x%x", message);
    return 0;
}

LRESULT CDragListCtrl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    switch (message) {
    case WM_MOUSEMOVE:
        if (!dragging_) return 0;
        DragOver({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        handled = true;
        return 0;
    case WM_LBUTTONUP:
        if (!dragging_) return 0;
        EndDrag();
        handled = true;
        return 0;
    case WM_CAPTURECHANGED:
        // Another window took the mouse (a menu, a message box, Alt+Tab): the
        // drag is over, or it would go on without the button held.
        dragging_ = false;
        return 0;
    case WM_CONTEXTMENU:
        handled = ShowCheckMenu(lParam);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kCheckAll || LOWORD(wParam) == kUncheckAll) {
            SetChecks(LOWORD(wParam) == kCheckAll);
            handled = true;
        }
        return 0;
    }
    return 0;
}

// A list view whose selected rows the user reorders by dragging them over
// another row; in check-box mode its context menu checks or unchecks rows.
// The block moves as one: rows keep their order, their selection and focus.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "resources/resource.h"

// One step of a reordering: the row at from is taken out and put in at to.
struct ListMove {
    int from;
    int to;
};

template <typename T>
void ApplyListMove(std::vector<T>& rows, ListMove move)
{
    T row = rows[static_cast<size_t>(move.from)];
    rows.erase(rows.begin() + move.from);
    rows.insert(rows.begin() + move.to, row);
}

// The moves, to apply one after the other, that gather the selected rows at
// row target: rows from below are brought up to target, target + 1, ...; rows
// from above down to target, target - 1, .... Moving up (target before
// lastDrop) gathers from below first, else from above first, so the block
// lands before or after the row under the cursor. Nothing for a target
// outside the list or on a selected row.
std::vector<ListMove> GatherMoves(std::vector<bool> selected, int target, int lastDrop);

class CDragListCtrl {
public:
    // Commands of the check-box context menu.
    enum Command : UINT { kCheckAll = ID_CHECK_ALL, kUncheckAll = ID_UNCHECK_ALL };

    CDragListCtrl() = default;
    ~CDragListCtrl();
    CDragListCtrl(const CDragListCtrl&) = delete;
    CDragListCtrl& operator=(const CDragListCtrl&) = delete;

    // Takes over the list view's messages until Detach or its destruction.
    bool Attach(HWND list);
    void Detach();
    HWND Window() const { return list_; }

    // The parent hands LVN_BEGINDRAG of the list on: the drag starts and
    // lasts until the left button comes up or the capture is lost.
    void BeginDrag();
    bool IsDragging() const { return dragging_; }
    // The cursor at point (list client coordinates) while dragging.
    void DragOver(POINT point);
    void EndDrag();

    // Moves one row with all its columns, image, item data, check state,
    // selection and focus.
    void MoveItem(int from, int to);
    // Checks or unchecks the selected rows, or every row when none is selected.
    void SetChecks(bool checked);

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    bool ShowCheckMenu(LPARAM position);
    bool CheckBoxMode() const;
    int RowCount() const;
    std::vector<bool> SelectedRows() const;
    std::wstring ItemText(int row, int column) const;

    HWND list_ = nullptr;
    bool dragging_ = false;
    int lastDrop_ = -1;
    std::vector<std::wstring> columnTexts_;
};

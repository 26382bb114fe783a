// The picture list of the tags dialog: one owner-drawn row per picture with
// its thumbnail, its own tags and its permission (the row's check box:
// checked is public), which a click on the permission toggles.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

// Widths of the row's fixed texts in pixels, measured in the list's font.
struct TagRowMetrics {
    int tagsLabel = 0;
    int permissionsLabel = 0;
    int widestPermission = 0;  // the wider of "public" and "private"
};

// Where the parts of a row go. The thumbnail sits at the left; the texts
// follow it, the tags on the upper half, the permission on the lower half.
struct TagRowLayout {
    static const int kThumbnailSize = 80;
    static const int kIconWidth = 15;
    static const int kIconGap = 3;      // from the label's end to the icon
    static const int kWordOffset = 20;  // from the icon's start to the word

    RECT thumbnail = {};
    RECT upperHalf = {};  // text area, upper half
    RECT lowerHalf = {};  // text area, lower half
    int iconLeft = 0;
    int wordLeft = 0;
    // The click area that toggles the permission: lower third of the row,
    // from the label's end to 20 pixels past the widest permission word.
    RECT toggle = {};

    static TagRowLayout For(const RECT& row, const TagRowMetrics& metrics);
};

class CTagListCtrl {
public:
    CTagListCtrl() = default;
    ~CTagListCtrl();
    CTagListCtrl(const CTagListCtrl&) = delete;
    CTagListCtrl& operator=(const CTagListCtrl&) = delete;

    // Takes over the list window: loads texts, icons and brushes, sets the
    // column, check boxes and full-row selection. False when it cannot.
    bool Subclass(HWND list);
    void Release() noexcept;
    HWND Window() const { return list_; }
    // The object that has taken over list, or null.
    static const CTagListCtrl* Of(HWND list);

    // WM_DRAWITEM of the list, passed on by its dialog.
    void Draw(const DRAWITEMSTRUCT& item) const;
    std::wstring RowText(int row) const;
    bool IsPublic(int row) const;
    // A point (client coordinates) on the permission of a row, where a
    // click toggles it once the row is selected; (-1, -1) for no such row.
    POINT PermissionPoint(int row) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool TogglesPermission(POINT click) const;
    void FitColumn() const;
    void DrawLine(HDC dc, RECT area, const std::wstring& text) const;

    HWND list_ = nullptr;
    HBRUSH selectedBrush_ = nullptr;
    HBRUSH windowBrush_ = nullptr;
    HPEN framePen_ = nullptr;
    HIMAGELIST icons_ = nullptr;
    std::wstring tagsLabel_, permissionsLabel_, privateWord_, publicWord_;
    TagRowMetrics metrics_;
};

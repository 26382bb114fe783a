// The "Tags..." dialog: the chosen pictures with thumbnails, each with its own
// tags and permission (public or private), and tags common to all of them.
// After OK the caller reads one tags text and one permission per picture.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "dialogs/ScriptedDialog.h"
#include "dialogs/TagListCtrl.h"

class TagCompletion;
struct TagsDialogChoice;

// The tags a picture is sent with: its own text, a blank and the common text;
// either alone when the other is empty.
std::wstring CombinedTags(const std::wstring& rowText, const std::wstring& commonText);

class CTagsDlg : public ScriptedDialog {
public:
    // pictures: paths or "file:///" addresses (read for the thumbnails).
    // thumbnails: one image per picture made by the caller, or null (the
    // dialog makes them); the caller keeps its own list. Without a completion
    // the dialog makes its own over the remembered tags.
    CTagsDlg(std::vector<std::wstring> pictures, std::wstring commonTags, bool isPublic,
             HIMAGELIST thumbnails = nullptr, TagCompletion* completion = nullptr);
    ~CTagsDlg() override;

    // IDOK (1) or IDCANCEL (2); -1 when the dialog cannot be created.
    INT_PTR DoModal(HWND owner);

    // After OK: one entry per picture.
    const std::vector<std::wstring>& Tags() const { return tags_; }
    const std::vector<bool>& Permissions() const { return permissions_; }
    const std::wstring& CommonTags() const { return commonTags_; }

private:
    struct Anchor {
        int id;
        RECT start;  // in client coordinates at the initial size
        bool moveX, moveY, growX, growY;
    };

    INT_PTR OnDialogMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnInitDialog();
    void FillList();
    void CreateTips();
    void OnEnter();
    void OnOk();
    void OnSize(int width, int height);
    void EndEditing();

    std::wstring commonTags_;
    std::vector<std::wstring> pictures_;
    std::vector<std::wstring> tags_;
    std::vector<bool> permissions_;
    HIMAGELIST callerThumbnails_;
    HIMAGELIST ownThumbnails_ = nullptr;
    TagCompletion* completion_;
    CTagListCtrl list_;
    HWND tips_ = nullptr;
    HWND grip_ = nullptr;
    SIZE startClient_ = {};
    SIZE minimumWindow_ = {};
    std::vector<Anchor> anchors_;
};

// The tags dialog for the upload roads: S_OK with one tags text and one
// permission per file, S_FALSE when the user cancels, E_FAIL when the dialog
// cannot be shown. script drives the dialog in tests.
HRESULT RunTagsDialog(HWND owner, const std::vector<std::wstring>& files, const std::wstring& tags, bool isPublic,
                      TagsDialogChoice& choice, DialogScript script = nullptr);

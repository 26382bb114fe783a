// The windows the right-click commands open: the login and tag dialogs at the
// click's position, the upload images dialog and the short messages. One
// replaceable set per process, so tests answer for the user and the dialogs
// that live elsewhere plug in without this code including them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "dialogs/UploadImagesDlg.h"

// The pictures of a page offered for upload, and what the user chose.
struct UploadImagesRequest {
    HWND owner = nullptr;
    std::vector<std::wstring> addresses;
    std::vector<PictureSize> sizes;  // 0 x 0: size unknown
    bool resize = false;
    int sizeIndex = 2;
    bool removeSizeBar = true;
};
struct UploadImagesChoice {
    std::vector<std::wstring> addresses;  // the kept pictures, in list order
    std::wstring sizeText;                // empty: no resizing
    bool removeSizeBar = true;
    bool slideshow = false;
    std::wstring effect, background;  // of the slideshow
    bool askTags = false;             // per-picture tags wanted
    std::wstring tags;                // tags for all pictures
};

struct ContextMenuDialogs {
    // Tells the user to log in first; at is a screen position.
    std::function<void(HWND owner, POINT at)> login;
    // Asks for the tags of one picture or file list: S_OK with tags, S_FALSE
    // when the user cancels, a failure when there is no way to ask.
    std::function<HRESULT(HWND owner, POINT at, const std::vector<std::wstring>& items, std::wstring& tags)> tag;
    // The page's pictures: S_OK with a choice, S_FALSE when cancelled.
    std::function<HRESULT(const UploadImagesRequest&, UploadImagesChoice&)> uploadImages;
    // A short message with the product's caption, text from the string table.
    std::function<void(HWND owner, UINT textId)> message;

    // The product's own behaviour.
    static ContextMenuDialogs Defaults();
};

// Replaces the windows (all at once); a member left empty keeps the product's own.
void InstallContextMenuDialogs(const ContextMenuDialogs& dialogs);
ContextMenuDialogs InstalledContextMenuDialogs();

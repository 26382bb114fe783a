// The toolbar's Upload from Clipboard: what the clipboard holds, read once and
// let go at once, picks the road. A picture is saved as a PNG file the product
// owns and uploaded with the user's options; files go the Upload button's way
// (with its file-type test and warning); one web address of a picture or video
// is transloaded; anything else gets a message and nothing is sent.
#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

#include "VellumpostToolbar_h.h"
#include "engine/ClipboardPicture.h"

struct ClipboardContent {
    enum class Kind { kNothing, kBusy, kPng, kDib, kFiles, kText };
    Kind kind = Kind::kNothing;
    // kPng, kDib: the header check; the bytes are copied only when it passed.
    PictureCheck picture;
    std::vector<BYTE> bytes;
    std::vector<std::wstring> files;  // kFiles
    std::wstring text;                // kText: up to the first NUL, at most kMaxText characters
    static constexpr size_t kMaxText = 4096;
};

// Opens the clipboard, copies the first content it knows (a "PNG" picture,
// CF_DIBV5, CF_DIB, CF_BITMAP, CF_HDROP, CF_UNICODETEXT, in that order) and
// closes it again; the clipboard itself is never changed.
ClipboardContent ReadClipboard(HWND owner);

// The address text holds when it is, blanks around it aside, one http or
// https address whose path names a picture or video; empty otherwise.
std::wstring PictureAddressIn(const std::wstring& text);

// The user's usual upload options.
struct ClipboardUploadOptions {
    std::wstring size;  // a resize choice, empty for none
    bool isPublic = true;
    bool removeSizeBar = true;
};
// Makes the uploader for an upload of the given statistics action.
using PrepareUploader =
    std::function<HRESULT(LONG action, Microsoft::WRL::ComPtr<IInnerFileUploader>& inner)>;

// Uploads what the clipboard holds. S_OK when an upload was handed over;
// S_FALSE when the user was told (in a message box owned by owner) why
// nothing was sent; a failure when the uploader could not be made.
HRESULT UploadFromClipboard(HWND owner, const ClipboardUploadOptions& options, const PrepareUploader& prepare);

// Pictures of a web page for the right-click commands: which address a
// picture is sent by (the service fetches it, the user's own file, or a local
// copy the toolbar makes through the clipboard), and the local copy itself.
// Page addresses are hostile: a page must not make the toolbar upload a local
// file the user did not choose, nor write outside the temporary folder.
#pragma once

#include <windows.h>
#include <mshtml.h>

#include <string>

// How a page picture goes to the service.
enum class PictureRoute {
    Refused,    // neither a web address nor an allowed local file: nothing is sent
    Service,    // already on the service: sent by its address
    LocalFile,  // a file of the user's, shown by a local page: uploaded as it is
    Copy,       // a web picture: copied locally when possible, else transloaded
};

// The route of the picture at pictureUrl on the page at pageUrl. A "file:"
// picture is read from disk only on a "file:" page and when its address
// decodes (once) to a drive path without network, device or control parts
// whose type uploads accept; localUrl is then its normalised "file:///" address.
PictureRoute ChoosePictureRoute(const std::wstring& pageUrl, const std::wstring& pictureUrl, std::wstring& localUrl);

// The name part of a local copy: the last segment of the address (after its
// last "/", else its last "\"), decoded once, without extension, reduced to
// letters, digits and "_" and at most 40 characters; "img" when nothing is left.
std::wstring CopyNameFromUrl(const std::wstring& url);

// Reserves a new file name for a local copy in folder: folder\name_<tick>_<n>,
// created new (the counter grows until a name is free) and within MAX_PATH
// with room for an extension and the resizer's temporary suffix. The returned
// base names an empty placeholder file the caller deletes; empty on failure.
std::wstring ReserveCopyBase(const std::wstring& folder, const std::wstring& name);

// The size a page picture is shown at, read from its element: 0 x 0 while
// it is still loading or when the element does not tell.
void ShownPictureSize(IHTMLElement* picture, int& width, int& height);

// What copying a page picture through the clipboard gave.
struct PictureCopy {
    std::wstring fileUrl;  // "file:///" address of the saved copy; empty when none was made
    bool resized = false;  // the saved copy is already resized
};

// Selects the picture with a control range, runs "Copy" and reads the bitmap
// that arrived on the clipboard (only when the clipboard changed across the
// Copy). The bitmap is saved into the temporary folder, resized into
// sizeText's box when that names one, and adopted as a file the product made
// (removed when its upload ends). The caller keeps and restores the
// clipboard's own content around it (ClipboardKeeper).
PictureCopy CopyPagePicture(IHTMLDocument2* document, IHTMLElement* picture, const std::wstring& sizeText);

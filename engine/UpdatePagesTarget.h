// After an upload, asks every toolbar window of the session to refresh the
// service's picture and video pages that its browser shows.
#pragma once

#include <windows.h>

#include "engine/ImageTarget.h"

// Posted to a toolbar window; wParam holds the kinds that were uploaded.
enum ToolbarRefreshMessage : UINT {
    WM_TOOLBAR_REFRESH_MY_PAGES = 1813,
    // wParam: how many waiting uploads were just sent.
    WM_TOOLBAR_OUTBOX_SENT = 1814,
};

enum UploadedKinds : WPARAM {
    kUploadedPictures = 1,
    kUploadedVideos = 2,
};

// Toolbar windows are recognised by this many leading characters of their
// class name, which continues with a per-load suffix.
inline constexpr size_t kToolbarClassPrefixLength = 16;
inline constexpr wchar_t kToolbarClassPrefix[] = L"VELLUMPOSTTOOLBAR";

class CUpdatePagesTarget : public ImageTarget {
public:
    void OnUploadComplete(const UploadResults& results) override;

    // The UploadedKinds bits of results (a video by the extension of its image link).
    static WPARAM UploadedKindsOf(const UploadResults& results);
    // Posts the refresh message to every toolbar window; returns how many got it.
    static int NotifyToolbarWindows(WPARAM kinds);
};

// Posts message with wParam to every toolbar window of the session; returns
// how many got it.
int PostToToolbarWindows(UINT message, WPARAM wParam);

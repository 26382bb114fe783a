// The pages refresh target (see the header).
#include "engine/UpdatePagesTarget.h"

#include <cwchar>

#include "common/LogWriter.h"
#include "engine/UploadItem.h"

namespace {

// Toolbar windows sit inside the browser frame's rebar; seven levels below a
// top-level window reach them in every known frame layout.
const int kMaxChildDepth = 7;

struct Search {
    UINT message;
    WPARAM wParam;
    int notified;
};

bool IsToolbarWindow(HWND window)
{
    wchar_t name[256] = {};
    if (GetClassNameW(window, name, 256) == 0) return false;
    return wcsncmp(name, kToolbarClassPrefix, kToolbarClassPrefixLength) == 0;
}

// Notifies window when it is a toolbar, else searches its children down to depth.
void Visit(HWND window, int depth, Search& search)
{
    if (IsToolbarWindow(window)) {
        if (PostMessageW(window, search.message, search.wParam, 0)) ++search.notified;
        return;
    }
    if (depth >= kMaxChildDepth) return;
    for (HWND child = FindWindowExW(window, nullptr, nullptr, nullptr); child;
         child = FindWindowExW(window, child, nullptr, nullptr))
        Visit(child, depth + 1, search);
}

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM context)
{
    Visit(window, 0, *reinterpret_cast<Search*>(context));
    return TRUE;
}

}  // namespace

WPARAM CUpdatePagesTarget::UploadedKindsOf(const UploadResults& results)
{
    WPARAM kinds = 0;
    for (const CUploadResult& result : results) {
        const bool video = result.imageLink && IsVideoPath(*result.imageLink);
        kinds |= video ? kUploadedVideos : kUploadedPictures;
        if (kinds == (kUploadedPictures | kUploadedVideos)) break;
    }
    return kinds;
}

int PostToToolbarWindows(UINT message, WPARAM wParam)
{
    Search search = {message, wParam, 0};
    EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.notified;
}

int CUpdatePagesTarget::NotifyToolbarWindows(WPARAM kinds) { return PostToToolbarWindows(WM_TOOLBAR_REFRESH_MY_PAGES, kinds); }

void CUpdatePagesTarget::OnUploadComplete(const UploadResults& results)
try {
    if (results.empty()) return;
    NotifyToolbarWindows(UploadedKindsOf(results));
} catch (...) {
    LogWriter("CUpdatePagesTarget").Write("EXCEPTION on OnUploadComplete");
}

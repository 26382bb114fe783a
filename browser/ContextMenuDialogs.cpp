// The right-click commands' windows (see the header): the defaults do the
// honest thing when a dialog is not part of this library.
#include "browser/ContextMenuDialogs.h"

#include <algorithm>
#include <mutex>

#include "common/LogWriter.h"
#include "common/TextConvert.h"
#include "module/resource.h"

namespace {

std::mutex& DialogsLock()
{
    static std::mutex lock;
    return lock;
}

ContextMenuDialogs& Installed()
{
    static ContextMenuDialogs dialogs = ContextMenuDialogs::Defaults();
    return dialogs;
}

std::wstring ProductCaption()
{
    std::wstring caption = LoadModuleString(IDS_PRODUCT_NAME);
    return caption.empty() ? L"Vellumpost" : caption;
}

void ShowLoginHint(HWND owner, POINT)
{
    MessageBoxW(owner, L"Please log in to Vellumpost first (the Login button of the toolbar), then try again.",
                ProductCaption().c_str(), MB_OK | MB_ICONINFORMATION);
}

HRESULT RefuseTags(HWND, POINT, const std::vector<std::wstring>& items, std::wstring&)
{
    LogWriter("CImageContextMenu")
        .Format("No tag dialog in this library: %u item(s) not tagged", static_cast<unsigned>(items.size()));
    return E_NOTIMPL;
}

HRESULT RunUploadImagesDialog(const UploadImagesRequest& request, UploadImagesChoice& choice)
{
    CUploadImagesDlg dialog(request.addresses, request.sizes);
    dialog.resize = request.resize;
    dialog.sizeIndex = request.sizeIndex;
    dialog.removeSizeBar = request.removeSizeBar;
    if (dialog.DoModal(request.owner) != IDOK) return S_FALSE;
    choice.addresses = dialog.images;
    choice.sizeText = dialog.RequestedSize();
    choice.removeSizeBar = dialog.removeSizeBar;
    choice.slideshow = dialog.buildSlideshow;
    choice.effect = dialog.Effect();
    choice.background = dialog.Background();
    choice.askTags = dialog.individualTags;
    choice.tags = dialog.tags;
    return S_OK;
}

void ShowMessage(HWND owner, UINT textId)
{
    MessageBoxW(owner, LoadModuleString(textId).c_str(), ProductCaption().c_str(), MB_OK | MB_ICONINFORMATION);
}

}  // namespace

ContextMenuDialogs ContextMenuDialogs::Defaults()
{
    ContextMenuDialogs dialogs;
    dialogs.login = &ShowLoginHint;
    dialogs.tag = &RefuseTags;
    dialogs.uploadImages = &RunUploadImagesDialog;
    dialogs.message = &ShowMessage;
    return dialogs;
}

void InstallContextMenuDialogs(const ContextMenuDialogs& dialogs)
{
    ContextMenuDialogs defaults = ContextMenuDialogs::Defaults();
    ContextMenuDialogs merged = dialogs;
    if (!merged.login) merged.login = defaults.login;
    if (!merged.tag) merged.tag = defaults.tag;
    if (!merged.uploadImages) merged.uploadImages = defaults.uploadImages;
    if (!merged.message) merged.message = defaults.message;
    std::lock_guard<std::mutex> hold(DialogsLock());
    Installed() = merged;
}

ContextMenuDialogs InstalledContextMenuDialogs()
{
    std::lock_guard<std::mutex> hold(DialogsLock());
    return Installed();
}

POINT PlaceInsideWorkArea(POINT at, LONG width, LONG height, const RECT& workArea)
{
    POINT place = at;
    // Right and bottom edges first, so that a window larger than the area
    // keeps its top left corner visible.
    place.x = std::min<LONG>(place.x, workArea.right - width);
    place.y = std::min<LONG>(place.y, workArea.bottom - height);
    place.x = std::max<LONG>(place.x, workArea.left);
    place.y = std::max<LONG>(place.y, workArea.top);
    return place;
}

void MoveWindowNear(HWND window, POINT at)
{
    RECT frame = {};
    if (!window || !GetWindowRect(window, &frame)) return;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoW(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const POINT place = PlaceInsideWorkArea(at, frame.right - frame.left, frame.bottom - frame.top, monitor.rcWork);
    SetWindowPos(window, nullptr, place.x, place.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

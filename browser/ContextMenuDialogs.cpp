// The right-click commands' windows (see the header): the library's login,
// tag and upload images dialogs and its message boxes.
#include "browser/ContextMenuDialogs.h"

#include <mutex>

#include "common/LogWriter.h"
#include "common/TextConvert.h"
#include "dialogs/RegisterDlg.h"
#include "dialogs/TagDlg.h"
#include "resources/resource.h"

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

// The login invitation at the click: the user logs in at the service, then tags.
void ShowLogin(HWND owner, POINT at)
{
    CRegisterDlg(at).DoModal(owner);
}

// The tag box at the click; its text is what the user typed.
HRESULT AskTags(HWND owner, POINT at, const std::vector<std::wstring>&, std::wstring& tags)
{
    CTagDlg dialog(at);
    const INT_PTR result = dialog.DoModal(owner);
    if (result == -1) return E_FAIL;
    if (result != IDOK) return S_FALSE;
    tags = dialog.Tags();
    return S_OK;
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
    dialogs.login = &ShowLogin;
    dialogs.tag = &AskTags;
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

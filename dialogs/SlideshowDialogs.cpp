// The slideshow dialogs behind the engine's replaceable windows (see the header).
#include "dialogs/SlideshowDialogs.h"

#include "dialogs/FilesForSlideshowDlg.h"
#include "dialogs/SlideShowDlg.h"

namespace {

HRESULT DialogResult(INT_PTR result)
{
    if (result == IDOK) return S_OK;
    return result == IDCANCEL ? S_FALSE : E_FAIL;
}

}  // namespace

HRESULT RunSlideshowFileDialog(const SlideshowDialogRequest& request, SlideshowDialogChoice& choice,
                               DialogScript script)
{
    CFilesForSlideshowDlg dialog(request.owner);
    if (request.sizeIndex >= 0) dialog.sizeIndex = request.sizeIndex;
    if (script) dialog.SetScript(std::move(script));
    if (!dialog.Run()) return S_FALSE;
    choice.files = dialog.Files();
    choice.sizeText = dialog.sizeText;
    choice.isPublic = request.options.isPublic;
    choice.effect = dialog.Effect();
    choice.background = dialog.Background();
    return S_OK;
}

HRESULT RunSlideOrderDialog(HWND owner, std::vector<std::wstring>& files, DialogScript script)
{
    CSlideOrderDlg dialog(files);
    if (script) dialog.SetScript(std::move(script));
    HRESULT hr = DialogResult(dialog.DoModal(owner));
    if (hr == S_OK) files = dialog.images;
    return hr;
}

HRESULT RunSlideShowDialog(const SlideshowDialogRequest& request, const std::vector<std::wstring>& files,
                           SlideshowDialogChoice& choice, DialogScript script)
{
    CSlideShowDlg dialog(files);
    if (request.sizeIndex >= 0) dialog.sizeIndex = request.sizeIndex;
    if (script) dialog.SetScript(std::move(script));
    HRESULT hr = DialogResult(dialog.DoModal(request.owner));
    if (hr != S_OK) return hr;
    choice.files = dialog.images;
    choice.sizeText = dialog.sizeText;
    choice.isPublic = request.options.isPublic;
    choice.effect = dialog.Effect();
    choice.background = dialog.Background();
    return S_OK;
}

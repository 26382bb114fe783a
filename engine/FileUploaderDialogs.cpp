// The scriptable uploader's windows (see the header).
#include "engine/FileUploaderDialogs.h"

#include <commdlg.h>

#include <algorithm>
#include <mutex>

#include "common/TextConvert.h"
#include "common/WebBrowser.h"
#include "engine/FileUploadStrategy.h"
#include "resources/resource.h"

using Microsoft::WRL::ComPtr;

namespace {

std::mutex& DialogsLock()
{
    static std::mutex lock;
    return lock;
}

FileUploaderDialogs& Installed()
{
    static FileUploaderDialogs dialogs = FileUploaderDialogs::Defaults();
    return dialogs;
}

// The paths a multi-select open dialog wrote: one path, or a folder and names.
std::vector<std::wstring> SplitSelection(const std::vector<wchar_t>& buffer)
{
    std::vector<std::wstring> parts;
    size_t at = 0;
    while (at < buffer.size() && buffer[at]) {
        std::wstring part(&buffer[at]);
        at += part.size() + 1;
        parts.push_back(part);
    }
    if (parts.size() <= 1) return parts;
    std::vector<std::wstring> files;
    std::wstring folder = parts[0];
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    for (size_t i = 1; i < parts.size(); ++i) files.push_back(folder + parts[i]);
    return files;
}

// A plain open dialog over the filter of string filterId ("|" separated).
HRESULT ChooseFiles(HWND owner, UINT filterId, bool multiSelect, std::vector<std::wstring>& files)
{
    std::wstring filter = LoadModuleString(filterId ? filterId : IDS_FILTER_ALL);
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    filter.push_back(L'\0');
    std::wstring title = LoadModuleString(IDS_FILE_DIALOG_TITLE);
    if (title.empty()) title = L"Upload files";
    std::vector<wchar_t> buffer(261000, L'\0');
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size() - 1);
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY |
                   (multiSelect ? OFN_ALLOWMULTISELECT : 0);
    if (!GetOpenFileNameW(&dialog)) return CommDlgExtendedError() == 0 ? S_FALSE : E_FAIL;
    files = SplitSelection(buffer);
    return files.empty() ? S_FALSE : S_OK;
}

std::wstring PictureSizeText(int index)
{
    if (index < 0 || index > IDS_RESIZE_LAST - IDS_RESIZE_FIRST) return std::wstring();
    return LoadModuleString(IDS_RESIZE_FIRST + static_cast<UINT>(index));
}

}  // namespace

FileUploaderDialogs FileUploaderDialogs::Defaults()
{
    FileUploaderDialogs dialogs;
    dialogs.uploadFiles = [](const UploadDialogRequest& request, UploadDialogChoice& choice) {
        HRESULT hr = ChooseFiles(request.owner, request.filterId, request.multiSelect, choice.files);
        if (hr != S_OK) return hr;
        choice.sizeText = request.options.resize ? PictureSizeText(request.options.sizeIndex) : std::wstring();
        choice.isPublic = request.options.isPublic;
        choice.removeSizeBar = request.options.removeSizeBar;
        return S_OK;
    };
    // Without per-file tags every file gets the panel's tags and public choice.
    dialogs.tags = [](HWND, const std::vector<std::wstring>& files, const std::wstring& tags, bool isPublic,
                      TagsDialogChoice& choice) {
        choice.tags.assign(files.size(), tags);
        choice.publicFlags.assign(files.size(), isPublic);
        return S_OK;
    };
    dialogs.slideshowFiles = [](const SlideshowDialogRequest& request, SlideshowDialogChoice& choice) {
        HRESULT hr = ChooseFiles(request.owner, IDS_FILTER_PICTURES, true, choice.files);
        if (hr != S_OK) return hr;
        int index = request.sizeIndex >= 0 && request.sizeIndex <= 2 ? request.sizeIndex : 1;
        choice.sizeText = LoadModuleString(IDS_SLIDESHOW_SIZE_FIRST + static_cast<UINT>(index));
        choice.isPublic = request.options.isPublic;
        choice.effect = L"trans0";
        choice.background = L"#000000";
        return S_OK;
    };
    dialogs.slideOrder = [](HWND, std::vector<std::wstring>&) { return S_OK; };
    dialogs.unsupportedFiles = [](HWND owner, const std::vector<std::wstring>& unsupported) {
        std::wstring text = L"These files are not supported and will not be uploaded:\n";
        for (const std::wstring& path : unsupported) text += L"\n" + path;
        return MessageBoxW(owner, text.c_str(), LoadModuleString(IDS_PRODUCT_NAME).c_str(),
                           MB_OKCANCEL | MB_ICONWARNING) == IDOK;
    };
    dialogs.resultWindow = [](ComPtr<IUnknown>& window) {
        WebBrowser browser;
        HRESULT hr = browser.Create();
        if (FAILED(hr)) return hr;
        return browser->QueryInterface(IID_PPV_ARGS(&window));
    };
    // "No" is the default button: a stray Enter uploads nothing.
    dialogs.confirmScreenShot = [](HWND owner, const std::wstring& host) {
        const std::wstring text = L"The web page on " + host +
                                  L" wants to take a picture of your whole screen and upload it.\n\n"
                                  L"Do you want to allow this?";
        return MessageBoxW(owner, text.c_str(), LoadModuleString(IDS_PRODUCT_NAME).c_str(),
                           MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
    };
    return dialogs;
}

bool KeepSlideshowFiles(const FileUploaderDialogs& dialogs, HWND owner, std::vector<std::wstring>& files)
{
    std::vector<std::wstring> unsupported;
    for (const std::wstring& path : files)
        if (CFileUploadStrategy::IsRejectedPath(path, CFileUploadStrategy::FileTypeMode::ImagesOnly))
            unsupported.push_back(path);
    if (unsupported.empty()) return !files.empty();
    if (!dialogs.unsupportedFiles(owner, unsupported)) return false;
    files.erase(std::remove_if(files.begin(), files.end(),
                               [&](const std::wstring& path) {
                                   return std::find(unsupported.begin(), unsupported.end(), path) != unsupported.end();
                               }),
                files.end());
    return !files.empty();
}

void InstallFileUploaderDialogs(const FileUploaderDialogs& dialogs)
{
    FileUploaderDialogs defaults = FileUploaderDialogs::Defaults();
    FileUploaderDialogs merged = dialogs;
    if (!merged.uploadFiles) merged.uploadFiles = defaults.uploadFiles;
    if (!merged.tags) merged.tags = defaults.tags;
    if (!merged.slideshowFiles) merged.slideshowFiles = defaults.slideshowFiles;
    if (!merged.slideOrder) merged.slideOrder = defaults.slideOrder;
    if (!merged.unsupportedFiles) merged.unsupportedFiles = defaults.unsupportedFiles;
    if (!merged.resultWindow) merged.resultWindow = defaults.resultWindow;
    if (!merged.confirmScreenShot) merged.confirmScreenShot = defaults.confirmScreenShot;
    std::lock_guard<std::mutex> hold(DialogsLock());
    Installed() = merged;
}

FileUploaderDialogs InstalledFileUploaderDialogs()
{
    std::lock_guard<std::mutex> hold(DialogsLock());
    return Installed();
}

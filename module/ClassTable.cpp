// The class table of the toolbar library: one row per COM class.
// DllGetClassObject, DllRegisterServer and DllUnregisterServer all read this
// table, so a class becomes registered by its row and creatable by the row's
// creator:
//
//   {&CLSID_Thing, {L"VellumpostToolbar.Thing", nullptr}, L"Thing Class", &CThing::CreateInstance},
//
// A second ProgID of the same class goes into the second slot. Registry
// entries beyond the standard class keys go into the row's extraRegistration.
#include "module/ClassTable.h"

#include <mutex>

#include "VellumpostToolbar_h.h"
#include "browser/ButtonsHandler.h"
#include "browser/CheckUpdate.h"
#include "browser/DragAndDropHandler.h"
#include "browser/ImageContextMenu.h"
#include "browser/NavigatorSupervisor.h"
#include "browser/StockBar.h"
#include "common/LogWriter.h"
#include "dialogs/FilesForUploadDlg.h"
#include "dialogs/SlideshowDialogs.h"
#include "dialogs/TagsDlg.h"
#include "dialogs/WarningDlg.h"
#include "engine/FileUploadStrategy.h"
#include "engine/FileUploader.h"
#include "engine/IEImageUploader.h"
#include "resources/resource.h"
#include "module/setup/BrowserEntries.h"

namespace {

// The upload file dialog with its options panel, for the uploader's script methods.
HRESULT RunUploadFileDialog(const UploadDialogRequest& request, UploadDialogChoice& choice)
{
    CFilesForUploadDlg dialog(request.owner, request.multiSelect);
    dialog.resize = request.options.resize;
    dialog.sizeIndex = request.options.sizeIndex;
    dialog.isPublic = request.options.isPublic;
    dialog.removeSizeBar = request.options.removeSizeBar;
    if (request.filterId == IDS_FILTER_PICTURES) dialog.SetFileTypes(UploadFileTypes::kPictures);
    if (request.filterId == IDS_FILTER_VIDEOS) dialog.SetFileTypes(UploadFileTypes::kVideos);
    if (!dialog.Run()) return S_FALSE;
    choice.files = dialog.Files();
    choice.sizeText = dialog.RequestedSize();
    choice.isPublic = dialog.isPublic;
    choice.removeSizeBar = dialog.removeSizeBar;
    choice.tags = dialog.tags;
    choice.individualTags = dialog.individualTags;
    return S_OK;
}

// The uploader's class row: its first creation gives it the library's dialogs,
// which live in a library the upload engine does not link.
HRESULT CreateFileUploader(REFIID iid, void** object)
{
    if (!InstallLibraryDialogs()) return E_FAIL;
    return CFileUploader::CreateInstance(iid, object);
}

// The band's class row: an elevated setup writes the per-user entries only for
// the administrator, so every other user gets them when a browser of theirs
// first creates a band.
HRESULT CreateStockBar(REFIID iid, void** object)
{
    if (FAILED(WriteMissingUserEntries())) LogWriter("REGISTRATOR").Write("Cannot write the user's browser entries");
    return CStockBar::CreateInstance(iid, object);
}

}  // namespace

bool InstallLibraryDialogs()
{
    static std::once_flag dialogsInstalled;
    try {
        std::call_once(dialogsInstalled, [] {
            FileUploaderDialogs dialogs;
            dialogs.uploadFiles = &RunUploadFileDialog;
            dialogs.unsupportedFiles = &CWarningDlg::ConfirmSlideshowFiles;
            dialogs.slideshowFiles = [](const SlideshowDialogRequest& request, SlideshowDialogChoice& choice) {
                return RunSlideshowFileDialog(request, choice);
            };
            dialogs.slideOrder = [](HWND owner, std::vector<std::wstring>& files) {
                return RunSlideOrderDialog(owner, files);
            };
            dialogs.tags = [](HWND owner, const std::vector<std::wstring>& files, const std::wstring& tags,
                              bool isPublic, TagsDialogChoice& choice) {
                return RunTagsDialog(owner, files, tags, isPublic, choice);
            };
            CFileUploader::SetDialogs(dialogs);
            CFileUploadStrategy::SetRejectedFilesPrompt(&CWarningDlg::ConfirmUploadFiles);
        });
    } catch (...) {
        return false;
    }
    return true;
}

ComModule& ToolbarComModule()
{
    // Classes whose creator is null are registered (their clients find them
    // by ProgID and class identifier) and refused by DllGetClassObject until
    // their implementation takes its place in the row.
    static ComModule& module = ComModule::Instance().Initialize(
        {
            {&CLSID_StockBar, {L"Vellumpost.StockBar", nullptr}, L"Vellumpost Toolbar", &CreateStockBar, L"Apartment",
             &RegisterBandEntries},
            {&CLSID_NavigatorSupervisor, {L"VellumpostToolbar.NavigatorSupervisor", nullptr},
             L"NavigatorSupervisor Class", &CNavigatorSupervisor::CreateInstance},
            {&CLSID_FileUploader, {L"VellumpostToolbar.FileUploader", L"VellumpostToolbar.ImageUploader"},
             L"FileUploader Class", &CreateFileUploader},
            {&CLSID_DragAndDropHandler, {L"VellumpostToolbar.DragAndDropHandler", nullptr},
             L"DragAndDropHandler Class", &CDragAndDropHandler::CreateInstance},
            {&CLSID_ImageContextMenu, {L"VellumpostToolbar.ImageContextMenu", nullptr}, L"ImageContextMenu Class",
             &CImageContextMenu::CreateInstance, L"Apartment", &RegisterBrowserMenuEntries},
            {&CLSID_IEImageUploader, {L"VellumpostToolbar.IEImageUploader", nullptr}, L"IEImageUploader Class",
             &CIEImageUploader::CreateInstance},
            {&CLSID_ButtonsHandler, {L"VellumpostToolbar.ButtonsHandler", nullptr}, L"ButtonsHandler Class",
             &CButtonsHandler::CreateInstance},
            {&CLSID_CheckUpdate, {L"VellumpostToolbar.CheckUpdate", nullptr}, L"CheckUpdate Class",
             &CCheckUpdate::CreateInstance},
        },
        &LIBID_VellumpostToolbarLib);
    return module;
}

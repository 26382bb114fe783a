// The class table of the toolbar library: one row per creatable COM class.
// DllGetClassObject, DllRegisterServer and DllUnregisterServer all read this
// table, so a class becomes creatable and registered by adding its row:
//
//   {&CLSID_Thing, {L"VellumpostToolbar.Thing", nullptr}, L"Thing Class", &CThing::CreateInstance},
//
// A second ProgID of the same class goes into the second slot. Registry
// entries beyond the standard class keys go into the row's extraRegistration.
#include "module/ClassTable.h"

#include <mutex>

#include "VellumpostToolbar_h.h"
#include "browser/StockBar.h"
#include "dialogs/FilesForUploadDlg.h"
#include "engine/FileUploader.h"
#include "engine/IEImageUploader.h"
#include "module/resource.h"

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
    static std::once_flag dialogsInstalled;
    try {
        std::call_once(dialogsInstalled, [] {
            FileUploaderDialogs dialogs;
            dialogs.uploadFiles = &RunUploadFileDialog;
            CFileUploader::SetDialogs(dialogs);
        });
    } catch (...) {
        return E_FAIL;
    }
    return CFileUploader::CreateInstance(iid, object);
}

}  // namespace

ComModule& ToolbarComModule()
{
    static ComModule& module = ComModule::Instance().Initialize(
        {
            {&CLSID_IEImageUploader, {L"VellumpostToolbar.IEImageUploader", nullptr}, L"IEImageUploader Class",
             &CIEImageUploader::CreateInstance},
            {&CLSID_FileUploader, {L"VellumpostToolbar.FileUploader", L"VellumpostToolbar.ImageUploader"},
             L"FileUploader Class", &CreateFileUploader},
            {&CLSID_StockBar, {L"Vellumpost.StockBar", nullptr}, L"StockBar Class", &CStockBar::CreateInstance},
        },
        &LIBID_VellumpostToolbarLib);
    return module;
}

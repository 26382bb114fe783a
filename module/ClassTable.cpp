// The class table of the toolbar library: one row per creatable COM class.
// DllGetClassObject, DllRegisterServer and DllUnregisterServer all read this
// table, so a class becomes creatable and registered by adding its row:
//
//   {&CLSID_Thing, {L"VellumpostToolbar.Thing", nullptr}, L"Thing Class", &CThing::CreateInstance},
//
// A second ProgID of the same class goes into the second slot. Registry
// entries beyond the standard class keys go into the row's extraRegistration.
#include "module/ClassTable.h"

#include "VellumpostToolbar_h.h"
#include "engine/FileUploader.h"
#include "engine/IEImageUploader.h"

ComModule& ToolbarComModule()
{
    static ComModule& module = ComModule::Instance().Initialize(
        {
            {&CLSID_IEImageUploader, {L"VellumpostToolbar.IEImageUploader", nullptr}, L"IEImageUploader Class",
             &CIEImageUploader::CreateInstance},
            {&CLSID_FileUploader, {L"VellumpostToolbar.FileUploader", L"VellumpostToolbar.ImageUploader"},
             L"FileUploader Class", &CFileUploader::CreateInstance},
        },
        &LIBID_VellumpostToolbarLib);
    return module;
}

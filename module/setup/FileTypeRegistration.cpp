// Explorer file-type registration of the right-click handler (see the header).
#include "module/setup/FileTypeRegistration.h"

#include <shlwapi.h>

#include "VellumpostToolbar_h.h"
#include "common/ComModule.h"
#include "common/LogWriter.h"
#include "common/RegKey.h"
#include "common/SettingsStore.h"

namespace {

// The 64-bit Explorer extension's class, which forwards to the proxy server.
const CLSID kExtension64Class = {0x600BBED3, 0x2529, 0x4664, {0xBC, 0x94, 0xF5, 0x88, 0xF8, 0x95, 0x8F, 0x8B}};

struct FileType {
    const wchar_t* extension;  // key name below the classes root, with its dot
    const wchar_t* className;  // file class given to an extension that has none
};

const FileType kFileTypes[] = {
    {L".jpg", L"jpegfile"},        {L".jpeg", L"jpegfile"},      {L".jpe", L"jpegfile"},
    {L".png", L"pngfile"},         {L".gif", L"giffile"},        {L".bmp", L"bmpfile"},
    {L".tif", L"tifffile"},        {L".tiff", L"tifffile"},      {L".swf", L"swffile"},
    {L".avi", L"avifile"},         {L".flv", L"Flash.VideoFile"}, {L".mpg", L"mpegfile"},
    {L".mpeg", L"mpegfile"},       {L".mpe", L"mpegfile"},       {L".wmv", L"WMVFile"},
    {L".3gp", L"QuickTime.3gp"},   {L".3g2", L"QuickTime.3g2"},  {L".mov", L"QuickTime.mov"},
    {L".mp4", L"QuickTime.mp4"},   {L".vob", L"vobfile"},        {L".ogg", L"oggfile"},
    {L".divx", L"divxfile"},
};

const wchar_t kHandlers[] = L"shellex\\ContextMenuHandlers";
const wchar_t kShellEx[] = L"shellex";
const wchar_t kHandlerName[] = L"Vellumpost";

// The file class an extension names: empty when the default value is
// missing or empty. False when the value is no single key name (too long for
// a key, or with a path separator that would lead outside the class keys):
// such a value is someone else's and is left as it is.
bool ReadFileClass(HKEY extensionKey, std::wstring& name)
{
    if (!SettingsStore::ReadText(extensionKey, nullptr, name)) name.clear();
    return name.size() <= 255 && name.find(L'\\') == std::wstring::npos;
}

bool HasNoContent(HKEY key)
{
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    return subkeys == 0 && values == 0;
}

// Deletes parent\name when that key holds no subkey and no value.
void DeleteIfEmpty(HKEY parent, const wchar_t* name)
{
    RegKey key;
    if (!key.Open(parent, name, KEY_READ)) return;
    const bool empty = HasNoContent(key);
    key.Close();
    if (empty) RegDeleteKeyW(parent, name);
}

// Logs the start of a type's row, opens (registering: creates) the extension
// key and reads its file class; false, logged, when the row cannot go on.
bool OpenExtension(HKEY root, const FileType& type, bool registering, RegKey& extension, std::wstring& className,
                   const LogWriter& log)
{
    log.Write("Registration context menu for ", type.extension);
    const bool opened = registering ? extension.Create(root, type.extension, nullptr, 0, KEY_READ | KEY_WRITE)
                                    : extension.Open(root, type.extension, KEY_READ);
    if (!opened) {
        log.Write("Cannot open key for ", type.extension);
        return false;
    }
    if (!ReadFileClass(extension, className)) {
        log.Write("Cannot open key for ", className.c_str());
        return false;
    }
    return true;
}

void RegisterFileType(HKEY root, const FileType& type, const std::wstring& handlerKey, const LogWriter& log)
{
    RegKey extension;
    std::wstring className;
    if (!OpenExtension(root, type, true, extension, className, log)) return;
    if (!className.empty()) {
        log.Write("Default handler ", className.c_str());
    } else {
        log.Write("Cannot get default value for ", type.extension);
        className = type.className;
        const DWORD bytes = static_cast<DWORD>((className.size() + 1) * sizeof(wchar_t));
        if (RegSetValueExW(extension, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(className.c_str()),
                           bytes) != ERROR_SUCCESS) {
            log.Write("Cannot set default value for ", type.extension);
            return;
        }
        log.Write("Default value has been set to ", className.c_str());
    }

    RegKey fileClass;
    if (!fileClass.Create(root, className.c_str(), nullptr, 0, KEY_ALL_ACCESS)) {
        log.Write("Cannot open key for ", className.c_str());
        return;
    }
    RegKey handler;
    if (!handler.Create(fileClass, handlerKey.c_str(), nullptr, 0, KEY_ALL_ACCESS) ||
        RegSetValueExW(handler, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kHandlerName),
                       sizeof(kHandlerName)) != ERROR_SUCCESS)
        log.Write("Cannot open key for context menu handler for ", className.c_str());
}

void UnregisterFileType(HKEY root, const FileType& type, const std::wstring& handler, const LogWriter& log)
{
    RegKey extension;
    std::wstring className;
    if (!OpenExtension(root, type, false, extension, className, log)) return;
    if (className.empty()) {
        log.Write("Cannot get default value for ", type.extension);
        return;
    }
    log.Write("Default handler ", className.c_str());

    RegKey fileClass;
    if (!fileClass.Open(root, className.c_str(), KEY_ALL_ACCESS)) {
        log.Write("Cannot open key for ", className.c_str());
        return;
    }
    RegKey handlers;
    if (!handlers.Open(fileClass, kHandlers, KEY_ALL_ACCESS)) {
        log.Write("Cannot open key for context menu handler for ", className.c_str());
        return;
    }
    if (SHDeleteKeyW(handlers, handler.c_str()) == ERROR_SUCCESS)
        log.Write("Context menu has been removed for ", type.extension);
    handlers.Close();

    // Other programs keep their handlers (and their thumbnail and preview
    // handlers beside "ContextMenuHandlers") in these keys.
    RegKey shellEx;
    if (!shellEx.Open(fileClass, kShellEx, KEY_ALL_ACCESS)) return;
    DeleteIfEmpty(shellEx, L"ContextMenuHandlers");
    shellEx.Close();
    DeleteIfEmpty(fileClass, kShellEx);
}

}  // namespace

const CLSID& ContextMenuHandlerClass(bool windows64)
{
    return windows64 ? kExtension64Class : CLSID_ImageContextMenu;
}

void RegisterFileTypes(HKEY classesRoot, const CLSID& handler, const LogWriter& log)
{
    const std::wstring handlerKey = std::wstring(kHandlers) + L"\\" + GuidText(handler);
    for (const FileType& type : kFileTypes) RegisterFileType(classesRoot, type, handlerKey, log);
}

void UnregisterFileTypes(HKEY classesRoot, const CLSID& handler, const LogWriter& log)
{
    const std::wstring handlerName = GuidText(handler);
    for (const FileType& type : kFileTypes) UnregisterFileType(classesRoot, type, handlerName, log);
}

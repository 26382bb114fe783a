// Steps of the installer's exports (see the header).
#include "module/setup/InstallerSteps.h"

#include "common/Handle.h"
#include "common/LogWriter.h"
#include "common/SettingsKey.h"

namespace {

const DWORD kPollMs = 100;

bool IsLink(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

std::wstring UploadFolderPath()
{
    const std::wstring data = UserDataFolder(true);
    return data.empty() ? std::wstring() : data + L"\\VellumpostToolbar\\upload";
}

int RemoveFilesIn(const std::wstring& folder, const LogWriter& log)
{
    log.Write("Remove all from: ", folder.c_str());
    const DWORD folderAttributes = GetFileAttributesW(folder.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        IsLink(folderAttributes))
        return 0;

    int removed = 0;
    FileFind find;
    for (bool found = find.First((folder + L"\\*").c_str()); found; found = find.Next()) {
        const WIN32_FIND_DATAW& entry = find.Data();
        if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        const std::wstring path = folder + L"\\" + entry.cFileName;
        if (DeleteFileW(path.c_str()))
            ++removed;
        else
            log.Write("Cannot delete ", path.c_str());
    }
    return removed;
}

bool WaitUntilShown(HWND window, DWORD boundMs)
{
    const DWORD start = GetTickCount();
    while (IsWindow(window) && !IsWindowVisible(window) && GetTickCount() - start < boundMs) Sleep(kPollMs);
    const bool shown = IsWindow(window) && IsWindowVisible(window);
    Sleep(kPollMs);
    return shown;
}

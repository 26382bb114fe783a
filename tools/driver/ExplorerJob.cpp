// The main job's Explorer road (see the header).
#include "tools/driver/ExplorerJob.h"

#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "common/Handle.h"
#include "common/ProcessSnapshot.h"
#include "common/RegKey.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "engine/UploadHistory.h"
#include "tools/driver/ExplorerSelection.h"

using Microsoft::WRL::ComPtr;

namespace {

// The 64-bit extension's class, as the file types' handler key names it.
const wchar_t kExtensionClass[] = L"{600BBED3-2529-4664-BC94-F588F8958F8B}";
const wchar_t kProxyProgram[] = L"VellumpostContextMenuProxyX64.exe";
const wchar_t kUploadEntry[] = L"Upload Files To Vellumpost";
const DWORD kUploadTimeoutMs = 180000;
const DWORD kProxyExitTimeoutMs = 60000;

std::string Utf8(const std::wstring& text) { return Narrow(text, CP_UTF8); }

std::vector<std::wstring> SampleFiles(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do {
        const std::wstring name = found.cFileName;
        const size_t dot = name.rfind(L'.');
        const std::wstring extension = dot == std::wstring::npos ? L"" : ToLower(name.substr(dot));
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            (extension == L".jpg" || extension == L".png" || extension == L".avi"))
            files.push_back(folder + L"\\" + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return files;
}

// The history entries whose links are not among known (the history keeps a
// limited number of entries, so counting them says nothing once it is full).
std::vector<CUploadResult> NewHistoryEntries(const std::set<std::wstring>& known)
{
    SettingsStore store;
    UploadHistory history(store);
    std::vector<CUploadResult> added;
    const int count = history.HistoryCount();
    for (int i = 0; i < count; ++i) {
        CUploadResult entry;
        if (history.ReadHistoryEntry(i, entry) && entry.imageLink && !known.count(*entry.imageLink))
            added.push_back(entry);
    }
    return added;
}

std::set<std::wstring> HistoryLinks()
{
    std::set<std::wstring> links;
    for (const CUploadResult& entry : NewHistoryEntries({})) links.insert(*entry.imageLink);
    return links;
}

// Waits, on changes of the settings key, until the history holds count new entries.
bool WaitForHistory(const std::set<std::wstring>& known, size_t count, DWORD timeoutMs)
{
    RegKey settings;
    if (!settings.Create(HKEY_CURRENT_USER, SettingsKeyPath(), nullptr, 0, KEY_NOTIFY | KEY_READ)) return false;
    Event changed(FALSE, FALSE);
    if (!changed.IsValid()) return false;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (RegNotifyChangeKeyValue(settings, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, changed,
                                    TRUE) != ERROR_SUCCESS)
            return false;
        if (NewHistoryEntries(known).size() >= count) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        WaitForSingleObject(changed, static_cast<DWORD>(deadline - now));
    }
}

// Waits for the proxy server process to end by itself; true when none runs.
bool WaitForProxyExit(DWORD timeoutMs)
{
    for (ProcessSnapshot snapshot; snapshot.Valid(); snapshot.Next()) {
        if (_wcsicmp(snapshot.Entry().szExeFile, kProxyProgram) != 0) continue;
        Handle process;
        process.Attach(OpenProcess(SYNCHRONIZE, FALSE, snapshot.Entry().th32ProcessID));
        if (process.IsValid() && WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return false;
    }
    return true;
}

void PrintBrowserRecord(const std::wstring& record)
{
    if (record.empty()) return;
    std::printf("\n== What the browser was asked to show (browser double) ==\n");
    std::ifstream in(Utf8(record).c_str());
    std::string line;
    bool any = false;
    while (std::getline(in, line)) {
        std::printf("  %s\n", line.c_str());
        any = true;
    }
    if (!any) std::printf("  (nothing)\n");
}

// The right-click: the extension, its menu and the upload entry. Prints the menu.
bool RightClickUpload(const std::vector<std::wstring>& files)
{
    CLSID extensionClass;
    ComPtr<IShellExtInit> init;
    ComPtr<IDataObject> data;
    HRESULT hr = CLSIDFromString(kExtensionClass, &extensionClass);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(extensionClass, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&init));
    if (FAILED(hr)) {
        std::printf("  FAILED: the 64-bit extension cannot be created (0x%08lX)\n", static_cast<unsigned long>(hr));
        return false;
    }
    hr = SelectionDataObject(files, &data);
    if (SUCCEEDED(hr)) hr = init->Initialize(nullptr, data.Get(), nullptr);
    if (FAILED(hr)) {
        std::printf("  FAILED: Initialize with the selection (0x%08lX)\n", static_cast<unsigned long>(hr));
        return false;
    }
    ComPtr<IContextMenu> menuHandler;
    init.As(&menuHandler);
    const HMENU menu = CreatePopupMenu();
    const UINT firstId = 100;
    hr = menuHandler ? menuHandler->QueryContextMenu(menu, 0, firstId, 0x7FFF, CMF_NORMAL) : E_NOINTERFACE;
    std::printf("  menu entries added: %u\n", SUCCEEDED(hr) ? static_cast<unsigned>(HRESULT_CODE(hr)) : 0u);
    int offset = -1;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        std::printf("    %s\n", Utf8(text).c_str());
        if (std::wstring(text) == kUploadEntry) offset = static_cast<int>(GetMenuItemID(menu, i) - firstId);
    }
    DestroyMenu(menu);
    if (offset < 0) {
        std::printf("  FAILED: no entry \"%s\"\n", Utf8(kUploadEntry).c_str());
        return false;
    }
    std::printf("  invoking \"%s\"\n", Utf8(kUploadEntry).c_str());
    CMINVOKECOMMANDINFO invoke = {};
    invoke.cbSize = sizeof(invoke);
    invoke.lpVerb = MAKEINTRESOURCEA(offset);
    invoke.nShow = SW_SHOWNORMAL;
    hr = menuHandler->InvokeCommand(&invoke);
    if (FAILED(hr)) std::printf("  FAILED: InvokeCommand (0x%08lX)\n", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr);
}

}  // namespace

int RunExplorerJob(const std::wstring& samplesFolder, const std::wstring& browserRecord)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::printf("COM cannot be started\n");
        return 1;
    }
    const std::vector<std::wstring> files = SampleFiles(samplesFolder);
    std::printf("== Explorer right-click on %u sample files: 64-bit extension -> proxy server -> toolbar library ==\n",
                static_cast<unsigned>(files.size()));
    const std::set<std::wstring> known = HistoryLinks();
    bool ok = !files.empty() && RightClickUpload(files);
    // The upload runs on in the proxy server's process after the command returned.
    if (ok && !WaitForHistory(known, files.size(), kUploadTimeoutMs)) {
        std::printf("  FAILED: the history did not reach %u new entries in %lu s\n",
                    static_cast<unsigned>(files.size()), static_cast<unsigned long>(kUploadTimeoutMs / 1000));
        ok = false;
    }
    std::printf("\n== Links in the history from this right-click ==\n");
    for (const CUploadResult& entry : NewHistoryEntries(known)) {
        std::printf("  %-16s %s\n", Utf8(entry.name.value_or(L"")).c_str(), Utf8(entry.imageLink.value_or(L"")).c_str());
    }
    const bool ended = WaitForProxyExit(kProxyExitTimeoutMs);
    std::printf("\n  proxy server %s\n", ended ? "ended by itself after its last client" : "STILL RUNNING");
    PrintBrowserRecord(browserRecord);
    std::printf("\n%s\n", ok ? "Explorer road succeeded." : "EXPLORER ROAD FAILED.");
    CoUninitialize();
    return ok ? 0 : 1;
}

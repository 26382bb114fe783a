// The main job's uploads (see the header).
#include "tools/driver/UploadJob.h"

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <vector>

#include "VellumpostToolbar_h.h"
#include "common/SettingsKey.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "common/Variant.h"
#include "engine/LinkFormat.h"
#include "engine/UploadHistory.h"
#include "tools/driver/DriverToolbar.h"

using Microsoft::WRL::ComPtr;

namespace {

const DWORD kUploadTimeoutMs = 120000;

std::string Utf8(const std::wstring& text) { return Narrow(text, CP_UTF8); }

// The files of folder (no subfolders), sorted by name.
std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + L"\\" + data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

std::wstring Extension(const std::wstring& path)
{
    size_t dot = path.rfind(L'.');
    std::wstring extension = dot == std::wstring::npos ? L"" : path.substr(dot + 1);
    for (wchar_t& c : extension) c = static_cast<wchar_t>(towlower(c));
    return extension;
}

bool IsPicture(const std::wstring& path)
{
    const std::wstring e = Extension(path);
    return e == L"jpg" || e == L"jpeg" || e == L"png" || e == L"gif" || e == L"bmp";
}

// The samples the job uploads: pictures and clips (the folder also holds its notes).
bool IsSample(const std::wstring& path)
{
    const std::wstring e = Extension(path);
    return IsPicture(path) || e == L"avi" || e == L"mp4" || e == L"flv" || e == L"mpg" || e == L"mov" ||
           e == L"wmv";
}

void PutPaths(VARIANT* out, const std::vector<std::wstring>& paths)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(paths.size()));
    for (LONG i = 0; array && i < static_cast<LONG>(paths.size()); ++i) {
        BSTR path = SysAllocString(paths[static_cast<size_t>(i)].c_str());
        SafeArrayPutElement(array, &i, path);
        SysFreeString(path);
    }
    V_VT(out) = VT_ARRAY | VT_BSTR;
    V_ARRAY(out) = array;
}

void PutBool(VARIANT* out, bool value)
{
    V_VT(out) = VT_BOOL;
    V_BOOL(out) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

// Serves this thread's messages (the toolbar's calls from the upload thread
// arrive as messages) until the toolbar has the end of the upload (the joined
// links, or with endsWithLinks false every item), or the time-out passes.
bool WaitForEnd(DriverToolbar& toolbar, size_t expected, bool endsWithLinks)
{
    const ULONGLONG deadline = GetTickCount64() + kUploadTimeoutMs;
    while (!(toolbar.finished || toolbar.results.size() > expected ||
             (!endsWithLinks && toolbar.results.size() == expected))) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

// One upload on a new uploader object; start calls the entry point.
struct Upload {
    const char* title;
    int action;
    size_t expected;
    // A slideshow ends with its import page, which goes to a destination
    // window; without one the last item is its end here.
    bool endsWithLinks;
    std::function<HRESULT(IInnerFileUploader&)> start;
};

const char* const kStyleNames[] = {"HTML", "Forum 1", "Forum 2", "Friend link"};

void PrintResult(const CUploadResult& result)
{
    std::printf("  %s\n", Utf8(result.name.value_or(L"(no name)")).c_str());
    std::printf("    %-12s %s\n", "direct", Utf8(result.imageLink.value_or(L"(none)")).c_str());
    for (int style = kLinkHtml; style <= kLinkFriend; ++style) {
        std::wstring link = FormatLink(result, false, style);
        std::replace(link.begin(), link.end(), L'\n', L' ');
        std::printf("    %-12s %s\n", kStyleNames[style], Utf8(link).c_str());
    }
}

// Runs one upload; the results go to uploaded. Returns whether every item arrived.
bool Run(const Upload& upload, std::vector<CUploadResult>& uploaded)
{
    std::printf("\n== %s ==\n", upload.title);
    ComPtr<IFileUploader> uploader;
    HRESULT hr = CoCreateInstance(CLSID_FileUploader, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&uploader));
    if (FAILED(hr)) {
        std::printf("  FAILED: the FileUploader class cannot be created (0x%08lX); is the library registered?\n",
                    static_cast<unsigned long>(hr));
        return false;
    }
    ComPtr<IInnerFileUploader> inner;
    hr = uploader.As(&inner);
    if (FAILED(hr)) {
        std::printf("  FAILED: no IInnerFileUploader (0x%08lX)\n", static_cast<unsigned long>(hr));
        return false;
    }
    ComPtr<DriverToolbar> toolbar = DriverToolbar::Make();
    uploader->put_toolbar(toolbar.Get());
    uploader->put_Action(static_cast<ActionStatisticsEnum>(upload.action));
    hr = upload.start(*inner.Get());
    uploader.Reset();
    inner.Reset();  // the upload thread holds what it needs
    if (FAILED(hr)) {
        std::printf("  FAILED to start (0x%08lX)\n", static_cast<unsigned long>(hr));
        return false;
    }
    if (!WaitForEnd(*toolbar.Get(), upload.expected, upload.endsWithLinks)) {
        std::printf("  FAILED: no end of the upload within %lu s (%u of %u items arrived)\n",
                    kUploadTimeoutMs / 1000, static_cast<unsigned>(toolbar->results.size()),
                    static_cast<unsigned>(upload.expected));
        for (const CUploadResult& result : toolbar->results) PrintResult(result);
        return false;
    }
    bool ok = toolbar->results.size() == upload.expected;
    for (const CUploadResult& result : toolbar->results) {
        PrintResult(result);
        if (!result.imageLink) ok = false;
        uploaded.push_back(result);
    }
    std::printf("  %u of %u items uploaded%s\n", static_cast<unsigned>(toolbar->results.size()),
                static_cast<unsigned>(upload.expected), ok ? "" : "  <-- FAILED");
    return ok;
}

// The path part of a service link ("http://host/a/b.jpg" gives "/a/b.jpg").
std::wstring LinkPath(const std::wstring& link)
{
    size_t scheme = link.find(L"://");
    size_t slash = link.find(L'/', scheme == std::wstring::npos ? 0 : scheme + 3);
    return slash == std::wstring::npos ? L"/" : link.substr(slash);
}

// Prints the history and checks that every uploaded link is in it.
bool PrintHistory(const std::vector<CUploadResult>& uploaded)
{
    SettingsStore store;
    UploadHistory history(store);
    const int count = history.HistoryCount();
    std::printf("\n== Upload history in HKEY_CURRENT_USER\\%s\\History (%d entries, oldest first; kept: %lu) ==\n",
                Narrow(SettingsKeyPath()).c_str(), count, static_cast<unsigned long>(history.MaxHistory()));
    std::set<std::wstring> links;
    for (int i = 0; i < count; ++i) {
        CUploadResult entry;
        history.ReadHistoryEntry(i, entry);
        std::printf("  %2d  %-16s %s\n", i, Utf8(entry.name.value_or(L"")).c_str(),
                    Utf8(entry.imageLink.value_or(L"")).c_str());
        if (entry.imageLink) links.insert(*entry.imageLink);
    }
    size_t missing = 0;
    for (const CUploadResult& result : uploaded)
        if (result.imageLink && !links.count(*result.imageLink)) ++missing;
    if (missing) std::printf("  FAILED: %u uploaded items are not in the history\n", static_cast<unsigned>(missing));
    return missing == 0;
}

}  // namespace

int RunUploadJob(const std::wstring& samplesFolder)
{
    if (FAILED(CoInitialize(nullptr))) {
        std::printf("COM cannot be started\n");
        return 1;
    }
    std::vector<std::wstring> samples = FilesIn(samplesFolder);
    samples.erase(std::remove_if(samples.begin(), samples.end(), [](const std::wstring& path) { return !IsSample(path); }),
                  samples.end());
    std::vector<std::wstring> pictures;
    std::copy_if(samples.begin(), samples.end(), std::back_inserter(pictures), IsPicture);
    const std::wstring server = SettingsStore().ForceServer();
    std::printf("Uploading through the registered FileUploader to %s\n",
                server.empty() ? "the service" : Utf8(server).c_str());

    int failures = 0;
    std::vector<CUploadResult> uploaded;
    if (samples.empty()) {
        std::printf("FAILED: no sample files in %s\n", Utf8(samplesFolder).c_str());
        ++failures;
    }

    const Upload files{"Sample files (UploadFiles)", asUpload + asFromToolbar, samples.size(), true,
                       [&](IInnerFileUploader& inner) {
                           Variant items, none, publicFlag, removeSizeBar;
                           Variant tags(L"vellumpost samples");
                           PutPaths(items.Out(), samples);
                           PutBool(publicFlag.Out(), true);
                           PutBool(removeSizeBar.Out(), true);
                           return inner.UploadFiles(*items.Get(), *none.Get(), *publicFlag.Get(), *tags.Get(),
                                                    *removeSizeBar.Get());
                       }};
    if (!samples.empty() && !Run(files, uploaded)) ++failures;

    // A picture the service serves: the first uploaded picture, from the
    // service's own address (it fetches only from itself here).
    std::wstring served;
    for (const CUploadResult& result : uploaded)
        if (result.imageLink && IsPicture(*result.imageLink)) {
            served = L"http://" + (server.empty() ? std::wstring(L"www.vellumpost.com") : server) +
                     LinkPath(*result.imageLink);
            break;
        }
    if (served.empty()) {
        std::printf("\n== Transload ==\n  FAILED: no served picture to transload\n");
        ++failures;
    } else {
        const std::string title = "Transload of " + Utf8(served) + " (TransloadUrls)";
        const Upload transload{title.c_str(), asTransaload + asFromBrowser, 1, true, [&](IInnerFileUploader& inner) {
                                   Variant item(served.c_str()), none, publicFlag, removeSizeBar;
                                   PutBool(publicFlag.Out(), true);
                                   PutBool(removeSizeBar.Out(), true);
                                   return inner.TransloadUrls(*item.Get(), *none.Get(), *publicFlag.Get(),
                                                              *none.Get(), *removeSizeBar.Get());
                               }};
        if (!Run(transload, uploaded)) ++failures;
    }

    const Upload slideshow{"Slideshow of the sample pictures (CreateSlideshow)", asSlideshow + asFromToolbar,
                           pictures.size(), false, [&](IInnerFileUploader& inner) {
                               Variant items, none, publicFlag;
                               Variant size(L"320x240 (Small)"), effect(L"trans1"), background(L"#000000");
                               // Local pictures go to a slideshow as "file:///" addresses.
                               std::vector<std::wstring> addresses;
                               for (const std::wstring& path : pictures) addresses.push_back(L"file:///" + path);
                               PutPaths(items.Out(), addresses);
                               PutBool(publicFlag.Out(), true);
                               return inner.CreateSlideshow(*items.Get(), *size.Get(), *publicFlag.Get(),
                                                            *none.Get(), *effect.Get(), *background.Get());
                           }};
    if (!pictures.empty()) {
        if (!Run(slideshow, uploaded)) ++failures;
        std::printf("  (the slideshow's import page goes to a results window; this run opens none)\n");
    }

    if (!PrintHistory(uploaded)) ++failures;
    std::printf("\n%s\n", failures == 0 ? "All uploads succeeded." : "SOME UPLOADS FAILED.");
    CoUninitialize();
    return failures == 0 ? 0 : 1;
}

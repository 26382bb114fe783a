// Uploads each file named on the command line to one address through the
// product's asynchronous uploader, on a thread run like an upload thread
// (its own apartment, a message loop released by UM_FINISH_UPLOAD), and
// prints the rate per file and the process's peak working set. With --outbox
// every item is written ahead into an outbox of the run's own and removed when
// answered, as the file strategy does, and the write-ahead cost per item is
// measured on its own as well.
//
//   upload_bench.exe [--outbox] http://127.0.0.1:PORT/upload_api.php file...
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "common/Handle.h"
#include "common/VersionStrings.h"
#include "engine/IEImageUploader.h"
#include "engine/Outbox.h"
#include "engine/OutboxTracker.h"
#include "engine/UploadStrategy.h"

namespace {

// One file as one request, the way the file strategy sends a picture.
class BenchStrategy : public CUploadStrategy {
public:
    BenchStrategy(std::wstring url, std::wstring path, bool outbox)
        : url_(std::move(url)), path_(std::move(path)), outbox_(outbox ? std::make_unique<OutboxTracker>() : nullptr)
    {
        items_.emplace_back(path_);
    }
    std::wstring GetPostUrl() override { return url_; }
    HRESULT PrepareRequest(CMultipartFormData& form) override
    {
        CUploadStrategy::PrepareRequest(form);
        if (outbox_) outbox_->BeforeSend(0, items_[0], true, 0, false);
        auto file = std::make_unique<File>();
        if (!file->Create(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0)) return E_FAIL;
        return form.AddFile("fileupload", std::move(file), "image/jpeg", "") ? S_OK : E_FAIL;
    }
    HRESULT DocumentComplete(const wchar_t* response) override
    {
        answered = response && std::wstring(response).find(L"<image_link>") != std::wstring::npos;
        if (outbox_ && answered) outbox_->Sent(0);
        UploadNextItem();  // nothing is left: finishes the upload
        return S_OK;
    }
    int UploadError() override { return 1; }

    bool answered = false;

private:
    std::wstring url_;
    std::wstring path_;
    std::unique_ptr<OutboxTracker> outbox_;
};

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

// The write ahead and removal of one item, repeated: milliseconds per item.
double WriteAheadMs(const std::wstring& path)
{
    const int kItems = 200;
    CUploadItem item(path);
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kItems; ++i) {
        OutboxTracker tracker;
        tracker.BeforeSend(0, item, true, 0, false);
        tracker.Sent(0);
    }
    QueryPerformanceCounter(&end);
    return Seconds(start, end) * 1000.0 / kItems;
}

// Runs one upload to its end; the seconds it took, or a negative number on failure.
double UploadOnce(const std::wstring& url, const std::wstring& path, bool outbox)
{
    auto* strategy = new BenchStrategy(url, path, outbox);
    Microsoft::WRL::ComPtr<CIEImageUploader> uploader = CIEImageUploader::Make();
    if (!uploader || FAILED(uploader->put_strategy(reinterpret_cast<LONG_PTR>(strategy)))) return -1;
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    if (FAILED(uploader->Upload())) return -1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if (message.message == UM_FINISH_UPLOAD) break;
    }
    QueryPerformanceCounter(&end);
    if (!strategy->answered) return -1;
    return Seconds(start, end);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const bool outbox = argc > 1 && std::wstring(argv[1]) == L"--outbox";
    const int first = outbox ? 3 : 2;
    if (argc < first + 1) {
        std::fprintf(stderr, "usage: upload_bench [--outbox] URL FILE...\n");
        return 2;
    }
    const wchar_t* url = argv[first - 1];
    VersionStrings::Initialize();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring folder;
    if (outbox) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"vpbench-outbox-" + std::to_wstring(GetCurrentProcessId());
        Outbox::SetLocation(folder);
        std::printf("outbox write-ahead: %.3f ms per item\n", WriteAheadMs(argv[first]));
    }
    int failures = 0;
    for (int i = first; i < argc; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(argv[i], GetFileExInfoStandard, &data)) {
            std::fprintf(stderr, "cannot read %ls\n", argv[i]);
            ++failures;
            continue;
        }
        const double bytes = double((ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        const double seconds = UploadOnce(url, argv[i], outbox);
        if (seconds < 0) {
            std::printf("uploader %.0f bytes: FAILED\n", bytes);
            ++failures;
            continue;
        }
        std::printf("uploader %.0f bytes: %.3f s, %.2f MB/s\n", bytes, seconds, bytes / 1048576.0 / seconds);
        std::fflush(stdout);
    }
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)))
        std::printf("uploader peak working set: %.1f MB\n", double(counters.PeakWorkingSetSize) / 1048576.0);
    if (outbox) {
        if (!Outbox().List().empty()) {
            std::printf("outbox: records left behind\n");
            ++failures;
        }
        RemoveDirectoryW(folder.c_str());
    }
    CoUninitialize();
    return failures == 0 ? 0 : 1;
}

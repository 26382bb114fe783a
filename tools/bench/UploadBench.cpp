// Uploads each file named on the command line to one address through the
// product's asynchronous uploader, on a thread run like an upload thread
// (its own apartment, a message loop released by UM_FINISH_UPLOAD), and
// prints the rate per file and the process's peak working set.
//
//   upload_bench.exe http://127.0.0.1:PORT/upload_api.php file...
#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "common/Handle.h"
#include "common/VersionStrings.h"
#include "engine/IEImageUploader.h"
#include "engine/UploadStrategy.h"

namespace {

// One file as one request, the way the file strategy sends a picture.
class BenchStrategy : public CUploadStrategy {
public:
    BenchStrategy(std::wstring url, std::wstring path) : url_(std::move(url)), path_(std::move(path))
    {
        items_.emplace_back(path_);
    }
    std::wstring GetPostUrl() override { return url_; }
    HRESULT PrepareRequest(CMultipartFormData& form) override
    {
        CUploadStrategy::PrepareRequest(form);
        auto file = std::make_unique<File>();
        if (!file->Create(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0)) return E_FAIL;
        return form.AddFile("fileupload", std::move(file), "image/jpeg", "") ? S_OK : E_FAIL;
    }
    HRESULT DocumentComplete(const wchar_t* response) override
    {
        answered = response && std::wstring(response).find(L"<image_link>") != std::wstring::npos;
        UploadNextItem();  // nothing is left: finishes the upload
        return S_OK;
    }
    int UploadError() override { return 1; }

    bool answered = false;

private:
    std::wstring url_;
    std::wstring path_;
};

// Runs one upload to its end; the seconds it took, or a negative number on failure.
double UploadOnce(const std::wstring& url, const std::wstring& path)
{
    auto* strategy = new BenchStrategy(url, path);
    Microsoft::WRL::ComPtr<CIEImageUploader> uploader = CIEImageUploader::Make();
    if (!uploader || FAILED(uploader->put_strategy(reinterpret_cast<LONG_PTR>(strategy)))) return -1;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
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
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: upload_bench URL FILE...\n");
        return 2;
    }
    VersionStrings::Initialize();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int failures = 0;
    for (int i = 2; i < argc; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(argv[i], GetFileExInfoStandard, &data)) {
            std::fprintf(stderr, "cannot read %ls\n", argv[i]);
            ++failures;
            continue;
        }
        const double bytes = double((ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        const double seconds = UploadOnce(argv[1], argv[i]);
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
    CoUninitialize();
    return failures == 0 ? 0 : 1;
}

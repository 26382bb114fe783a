// One upload of a strategy on a test thread against the development service:
// the real uploader with a scripted progress display and a target that keeps
// what the strategy hands over at the end. Also small readers of the
// service's request records.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wininet.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/IEImageUploader.h"
#include "engine/MultipartFormData.h"
#include "engine/UploadStrategy.h"
#include "support/EngineFakes.h"
#include "support/Json.h"
#include "support/UploadLoop.h"

namespace vptest {

struct StrategyRecord {
    std::vector<CUploadResult> items;
    size_t completed = 0;
    std::vector<std::wstring> navigated;
    std::wstring postedTo;
    std::wstring postHeaders;
    std::string postBody;
    std::wstring postForm;
};

struct StrategyRecordTarget : ImageTarget {
    StrategyRecord* record;
    explicit StrategyRecordTarget(StrategyRecord* r) : record(r) {}
    void OnItemUploaded(const CUploadResult& r) override { record->items.push_back(r); }
    void OnUploadComplete(const UploadResults& rs) override { record->completed = rs.size(); }
    void Navigate(const wchar_t* url) override { record->navigated.push_back(url); }
    void PostData(const wchar_t* url, ImageTargetPostData& provider) override
    {
        record->postedTo = url;
        CMultipartFormData form;
        provider.FillRequest(form);
        record->postHeaders = form.HeaderBlock();
        record->postBody = form.BodyBytes();
        provider.FillHtmlForm(record->postForm, false);
    }
};

struct StrategyOutcome {
    std::vector<FakeProgress::Question> questions;
    bool finished = false;
    int uploaded = -1;
};

// make builds and initializes the strategy inside the upload apartment; the
// uploader owns it from then on. makeTarget, when given, builds the target
// the strategy hands its results to (it records into record itself);
// otherwise a StrategyRecordTarget on record takes them.
inline StrategyOutcome RunStrategy(const std::function<CUploadStrategy*()>& make, std::deque<int> answers,
                                   StrategyRecord& record, DWORD timeoutMs = 60000,
                                   const std::function<ImageTarget*()>& makeTarget = nullptr)
{
    StrategyOutcome outcome;
    RunInApartment([&] {
        CUploadStrategy* strategy = make();
        ASSERT_NE(nullptr, strategy);
        Microsoft::WRL::ComPtr<CIEImageUploader> uploader = CIEImageUploader::Make();
        auto* progress = new FakeProgress;
        progress->answers = answers;
        uploader->SetProgressDisplay(progress);
        ImageTarget* target = makeTarget ? makeTarget() : new StrategyRecordTarget(&record);
        ASSERT_EQ(S_OK, uploader->put_target(reinterpret_cast<LONG_PTR>(target)));
        ASSERT_EQ(S_OK, uploader->put_strategy(reinterpret_cast<LONG_PTR>(strategy)));
        uploader->Upload();
        outcome.finished = PumpUntilFinished(timeoutMs);
        outcome.questions = progress->questions;
        outcome.uploaded = strategy->UploadedCount();
        EXPECT_TRUE(progress->answers.empty()) << "every scripted answer was asked for";
    });
    return outcome;
}

// The upload requests among the service's records, in arrival order.
inline std::vector<Json> UploadRecords(const Json& records)
{
    std::vector<Json> uploads;
    for (const Json& record : records.Items())
        if (record["method"].String() == "POST" && record["path"].String() == "/upload_api.php")
            uploads.push_back(record);
    return uploads;
}

inline const Json* RecordField(const Json& request, const std::string& name)
{
    for (const Json& field : request["fields"].Items())
        if (field["name"].String() == name) return &field;
    return nullptr;
}

inline std::string RecordText(const Json& request, const std::string& name)
{
    const Json* field = RecordField(request, name);
    return field ? (*field)["value"].String() : "<absent>";
}

inline std::vector<std::string> RecordFieldNames(const Json& request)
{
    std::vector<std::string> names;
    for (const Json& field : request["fields"].Items()) names.push_back(field["name"].String());
    return names;
}

// The path of a service link ("http://host/i/1/a.jpg" gives "/i/1/a.jpg").
inline std::wstring LinkPath(const std::wstring& link)
{
    size_t scheme = link.find(L"://");
    size_t slash = link.find(L'/', scheme == std::wstring::npos ? 0 : scheme + 3);
    return slash == std::wstring::npos ? L"/" : link.substr(slash);
}

// Posts a request made by a strategy (header block and body) to url the way a
// browser would submit it; the answer's body, or empty on failure.
inline std::string PostRequest(const std::wstring& url, const std::wstring& headers, const std::string& body)
{
    std::string answer;
    HINTERNET internet = InternetOpenW(L"strategy-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet) return answer;
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    wchar_t host[256] = {}, path[2048] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    if (InternetCrackUrlW(url.c_str(), 0, 0, &parts)) {
        HINTERNET connection =
            InternetConnectW(internet, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        HINTERNET request = connection ? HttpOpenRequestW(connection, L"POST", path, nullptr, nullptr, nullptr,
                                                          INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                                       : nullptr;
        if (request &&
            HttpSendRequestW(request, headers.c_str(), static_cast<DWORD>(headers.size()),
                             const_cast<char*>(body.data()), static_cast<DWORD>(body.size()))) {
            char buffer[4096];
            DWORD read = 0;
            while (InternetReadFile(request, buffer, sizeof(buffer), &read) && read > 0) answer.append(buffer, read);
        }
        if (request) InternetCloseHandle(request);
        if (connection) InternetCloseHandle(connection);
    }
    InternetCloseHandle(internet);
    return answer;
}

}  // namespace vptest

// Test doubles of the upload engine's inner interfaces: an uploader that
// records the requests it is given, and a progress display with scripted
// answers to its questions. Calls they are not prepared for fail the test.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/ImageUploader.h"
#include "engine/MultipartFormData.h"
#include "engine/Progress.h"

namespace vptest {

class FakeProgress : public IProgress {
public:
    struct Question {
        std::wstring text, caption, detail;
        UINT flags;
    };

    // Answers for ShowError, in order; a question without an answer fails the test.
    std::deque<int> answers;
    std::vector<Question> questions;
    std::vector<std::wstring> itemNames;
    std::vector<std::pair<int, int>> itemCounts;
    std::vector<std::pair<int, int>> progress;
    std::vector<ULONGLONG> sizes;
    std::vector<std::pair<ULONGLONG, ULONGLONG>> transfers;
    std::vector<bool> shows;
    int finishedStages = 0;
    int conversions = 0;
    bool canceled = false;

    void Show(bool show) override { shows.push_back(show); }
    void SetItemName(const wchar_t* name) override { itemNames.push_back(name ? name : L""); }
    void SetItemCount(int index, int count) override { itemCounts.emplace_back(index, count); }
    void SetProgress(int position, int range) override { progress.emplace_back(position, range); }
    void SetSize(ULONGLONG bytes) override { sizes.push_back(bytes); }
    void FinishStage() override { ++finishedStages; }
    int ShowError(const wchar_t* text, const wchar_t* caption, UINT flags, const wchar_t* detail) override
    {
        questions.push_back({text ? text : L"", caption ? caption : L"", detail ? detail : L"", flags});
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << testing::PrintToString(questions.back().text);
            return IDCANCEL;
        }
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    HWND GetWindow() override { return nullptr; }
    bool IsCanceled() override { return canceled; }
    void BeginConversion() override { ++conversions; }
    void SetTransferred(ULONGLONG sent, ULONGLONG total) override { transfers.emplace_back(sent, total); }
};

// Records every request; Upload answers with uploadResult.
class FakeImageUploader : public ImageUploader {
public:
    struct Request {
        std::wstring url;
        std::wstring headers;
        std::string body;
    };

    std::vector<Request> requests;
    HRESULT uploadResult = S_OK;
    bool canceled = false;
    int finishCalls = 0;
    int cancelCalls = 0;
    bool lastCancelForce = false;
    FakeProgress progress;

    HRESULT Upload(const wchar_t* url, CMultipartFormData& request) override
    {
        requests.push_back({url ? url : L"", request.HeaderBlock(), request.BodyBytes()});
        return uploadResult;
    }
    void OnCancel(bool force) override
    {
        ++cancelCalls;
        lastCancelForce = force;
        canceled = true;
    }
    void Finish() override { ++finishCalls; }
    bool IsCanceled() override { return canceled; }
    bool GetFlag() override { return false; }
    IProgress* GetProgress() override { return &progress; }
    IDispatch* GetDispatch() override { return nullptr; }
};

// Value of a text field in a multipart body, or "<absent>".
inline std::string FormField(const std::string& body, const std::string& name)
{
    std::string marker = "Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\n";
    size_t at = body.find(marker);
    if (at == std::string::npos) return "<absent>";
    at += marker.size();
    size_t end = body.find("\r\n--", at);
    return body.substr(at, end - at);
}

// Names of the parts of a multipart body, in order.
inline std::vector<std::string> FormFieldNames(const std::string& body)
{
    std::vector<std::string> names;
    const std::string marker = "Content-Disposition: form-data; name=\"";
    for (size_t at = body.find(marker); at != std::string::npos; at = body.find(marker, at + 1)) {
        size_t start = at + marker.size();
        names.push_back(body.substr(start, body.find('"', start) - start));
    }
    return names;
}

}  // namespace vptest

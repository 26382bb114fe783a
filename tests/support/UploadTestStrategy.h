// A strategy for tests of the uploader: a number of items that all go to one
// address, each with the request a test builds; every answer moves on to the
// next item and the last one finishes the upload. Answers and errors are recorded.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/MultipartFormData.h"
#include "engine/UploadStrategy.h"

namespace vptest {

class UploadTestStrategy : public CUploadStrategy {
public:
    using RequestBuilder = std::function<void(CMultipartFormData& form)>;

    UploadTestStrategy(std::wstring url, RequestBuilder build, int items = 1)
        : url_(std::move(url)), build_(std::move(build))
    {
        for (int i = 0; i < items; ++i) items_.emplace_back(L"item" + std::to_wstring(i));
    }
    ~UploadTestStrategy() override
    {
        if (destroyed) ++*destroyed;
    }

    std::wstring GetPostUrl() override { return url_; }
    HRESULT PrepareRequest(CMultipartFormData& form) override
    {
        if (build_) build_(form);
        bodySizes.push_back(form.BodySize());
        return S_OK;
    }
    HRESULT DocumentComplete(const wchar_t* response) override
    {
        responses.emplace_back(response ? response : L"");
        UploadNextItem();
        return S_OK;
    }
    int UploadError() override
    {
        ++errors;
        return 1;
    }
    int QueryCancel(bool) override { return queryCancelAnswer; }

    std::vector<std::wstring> responses;
    std::vector<ULONGLONG> bodySizes;
    int errors = 0;
    int queryCancelAnswer = 0;
    int* destroyed = nullptr;

private:
    std::wstring url_;
    RequestBuilder build_;
};

}  // namespace vptest

// Where the results of an upload go: the abstract target and post-data
// provider, the target that does nothing and the composite that forwards to two.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/UploadResult.h"

class CMultipartFormData;

using UploadResults = std::vector<CUploadResult>;

// Supplies the items of an upload to a results page (implemented by the strategies).
class ImageTargetPostData {
public:
    // Adds the items to request; true when there is something to post.
    virtual bool FillRequest(CMultipartFormData& request) = 0;
    // Builds the HTML submission form for the items into text.
    virtual bool FillHtmlForm(std::wstring& text, bool useThumbnail) = 0;
    virtual ~ImageTargetPostData() = default;
};

class ImageTarget {
public:
    virtual ~ImageTarget() = default;
    virtual void OnItemUploaded(const CUploadResult& result) {}
    virtual void OnUploadComplete(const UploadResults& results) {}
    virtual void Navigate(const wchar_t* url) {}
    virtual void PostData(const wchar_t* url, ImageTargetPostData& provider) {}
};

class CEmptyImageTarget : public ImageTarget {};

// Forwards every operation to the first target, then to the second; owns both
// (either may be null).
class CCompositeImageTarget : public ImageTarget {
public:
    CCompositeImageTarget(ImageTarget* first, ImageTarget* second) : first_(first), second_(second) {}
    void OnItemUploaded(const CUploadResult& result) override;
    void OnUploadComplete(const UploadResults& results) override;
    void Navigate(const wchar_t* url) override;
    void PostData(const wchar_t* url, ImageTargetPostData& provider) override;

private:
    std::unique_ptr<ImageTarget> first_;
    std::unique_ptr<ImageTarget> second_;
};

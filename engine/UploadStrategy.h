// The policy half of an upload: the list of items, the loop that sends them
// one at a time through the uploader, the common form fields of every request
// and the decisions taken when an answer or an error comes back. Subclasses
// change what is sent and where.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/ImageTarget.h"
#include "engine/UploadItem.h"

class CMultipartFormData;
class ImageUploader;

// Raised for an item index outside the list; the entry points catch it.
class InvalidItemIndex : public std::out_of_range {
public:
    InvalidItemIndex() : std::out_of_range("item index out of range") {}
    HRESULT Result() const { return E_INVALIDARG; }
};

class CUploadStrategy {
public:
    CUploadStrategy();
    virtual ~CUploadStrategy();
    CUploadStrategy(const CUploadStrategy&) = delete;
    CUploadStrategy& operator=(const CUploadStrategy&) = delete;

    virtual CUploadItem& GetItem(int index);
    virtual CUploadItem& GetCurrentItem();
    virtual int GetItemCount() const;
    virtual bool IsItemRejected(const CUploadItem& item);
    virtual bool IsCurrentItemRejected();
    // Builds and posts the request of the current item.
    virtual HRESULT UploadItem();
    // Moves on to the next item that is not rejected and posts it; E_FAIL
    // (after Finish on the uploader) when nothing is left or the upload was canceled.
    virtual HRESULT UploadNextItem();
    // Fills the items and their options; nonzero: the upload does not start.
    virtual HRESULT Initialize(const VARIANT& items, const VARIANT& optsize, const VARIANT& publicFlags,
                               const VARIANT& tags);
    // The endpoint of the current item.
    virtual std::wstring GetPostUrl() = 0;
    virtual HRESULT UploadComplete();
    // 1 refuses a cancel that is not forced.
    virtual int QueryCancel(bool force);
    virtual HRESULT DocumentComplete(const wchar_t* response);
    virtual void OnItemDone();
    virtual void OnItemFailed();
    // 0: the strategy carries on by itself; nonzero: stop the upload.
    virtual int UploadError();
    virtual HRESULT SetOption(const wchar_t* name, const VARIANT& value);
    virtual HRESULT SetItems(const VARIANT& items);
    virtual HRESULT PrepareItem();
    virtual HRESULT PrepareRequest(CMultipartFormData& form);
    virtual HRESULT AddResizeFields(CMultipartFormData& form);
    virtual HRESULT SetOptSize(const VARIANT& value);
    virtual HRESULT SetPublic(const VARIANT& value);
    virtual HRESULT SetTags(const VARIANT& value);

    void SetUploader(ImageUploader* uploader) { uploader_ = uploader; }
    ImageUploader* Uploader() const { return uploader_; }
    // Takes ownership; null installs a target that does nothing.
    void SetTarget(std::unique_ptr<ImageTarget> target);
    ImageTarget& Target() { return *target_; }

    int CurrentIndex() const { return currentIndex_; }
    int UploadedCount() const { return uploadedCount_; }
    int Statistics() const { return statistics_; }
    const std::string& Cookie() const { return cookie_; }

protected:
    // Deletes the target; a failure is logged, never thrown.
    void ReleaseTarget();

    ImageUploader* uploader_ = nullptr;
    std::unique_ptr<ImageTarget> target_;
    int currentIndex_ = -1;
    int uploadedCount_ = 0;
    std::vector<CUploadItem> items_;
    int statistics_ = 0;
    std::string cookie_;
};

// The elements of an option value as texts: a single string is one element
// (single is then true), a one-dimensional array of strings or of variants
// gives one element per entry. Null strings, VT_EMPTY entries and entries that
// do not convert to text are absent. False when value is none of these forms.
bool VariantTexts(const VARIANT& value, std::vector<std::optional<std::wstring>>& texts, bool& single);

// The public flags of a VT_BOOL (single: one for all) or of a one-dimensional
// array of variants, strings, Booleans or numbers (one per item; empty entries
// give none). False for any other value.
bool VariantFlags(const VARIANT& value, std::vector<std::optional<bool>>& flags, bool& single);

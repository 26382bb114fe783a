// Uploads local files one request per file: rejects unknown file types,
// resizes pictures on this machine, sends a thumbnail with each picture,
// retries failed items silently up to a limit and then asks the user, removes
// its temporary files and at the end hands every result to the target.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/ImageTarget.h"
#include "engine/OutboxTracker.h"
#include "engine/ServerSelector.h"
#include "engine/UploadResult.h"
#include "engine/UploadStrategy.h"

class CFileUploadStrategy : public CUploadStrategy {
public:
    // Asks the user about files that will not be uploaded (all item paths are
    // given); true means "upload the rest". Replaceable for tests and for the
    // warning dialog.
    using RejectedFilesPrompt = std::function<bool(const std::vector<std::wstring>& paths)>;
    static void SetRejectedFilesPrompt(RejectedFilesPrompt prompt);

    // Normal mode accepts pictures, Flash and videos; images-only mode only pictures.
    enum class FileTypeMode { Normal, ImagesOnly };
    static bool IsRejectedPath(const std::wstring& path, FileTypeMode mode);

    CFileUploadStrategy();
    ~CFileUploadStrategy() override;

    bool IsItemRejected(const CUploadItem& item) override { return IsRejected(item); }
    std::wstring GetPostUrl() override;
    HRESULT UploadComplete() override;
    int QueryCancel(bool force) override;
    HRESULT DocumentComplete(const wchar_t* response) override;
    void OnItemDone() override;
    void OnItemFailed() override;
    int UploadError() override;
    HRESULT SetOption(const wchar_t* name, const VARIANT& value) override;
    HRESULT SetItems(const VARIANT& items) override;
    HRESULT PrepareItem() override;
    HRESULT PrepareRequest(CMultipartFormData& form) override;
    // Pictures are resized here, so the service is not asked to.
    HRESULT AddResizeFields(CMultipartFormData&) override { return S_OK; }

    virtual bool IsRejected(const CUploadItem& item);
    virtual bool IsCurrentRejected() { return IsRejected(GetCurrentItem()); }
    virtual int CountRejected();
    virtual HRESULT AddFilePart(const char* field, const std::wstring& path, CMultipartFormData& form,
                                const std::string& fileName);
    virtual HRESULT AddUploadFile(const std::wstring& path, CMultipartFormData& form, const std::string& fileName);
    virtual HRESULT AddResampledFile(CMultipartFormData& form);
    virtual HRESULT AddThumbnail(CMultipartFormData& form);
    // IDYES, IDNO or IDCANCEL.
    virtual int ShowUploadError();
    virtual int AskRetry();
    virtual bool IsFatalError();
    virtual bool ParseResponse(const wchar_t* response);

    // Adds a waiting upload of the outbox as the next item; the caller
    // holds the record's lock until the upload ends.
    virtual void ResumeFromOutbox(const std::wstring& id, const OutboxRecord& record);
    // Automatic retries before the user is asked (the setting otherwise).
    void SetImplicitRetryLimit(int limit) { implicitRetryLimit_ = limit < 0 ? 0 : limit; }

    const CUploadResult& CurrentResult() const { return currentResult_; }
    const UploadResults& Results() const { return results_; }
    bool RemoveSizeBar() const { return removeSizeBar_; }

protected:
    // The items of a multi-item results page.
    class CImageTargetPostData : public ImageTargetPostData {
    public:
        explicit CImageTargetPostData(CFileUploadStrategy* strategy) : strategy_(strategy) {}
        bool FillRequest(CMultipartFormData& request) override;
        bool FillHtmlForm(std::wstring& text, bool useThumbnail) override;

    private:
        CFileUploadStrategy* strategy_;
    };

    // Asks through the progress display; text is a string-table entry with
    // one "%s" filled by argument.
    int Ask(UINT textId, const std::wstring& argument, UINT captionId, UINT flags, const wchar_t* detail);
    // The record the outbox keeps of item: what ResumeFromOutbox needs to
    // send it again. A local file goes by its path, an address as it is.
    virtual OutboxRecord OutboxRecordOf(const CUploadItem& item);
    // Writes the current item's record before its request.
    void RecordBeforeSend();
    // Deletes the current item's files that lie in the temporary folder.
    void RemoveTemporaryFiles();
    // The name a resized copy is sent under: the item's name with the copy's extension.
    std::string ConvertedFileName(const CUploadItem& item, const std::wstring& converted) const;

    CUploadResult currentResult_;
    UploadResults results_;
    bool removeSizeBar_;
    int implicitRetryCount_ = 0;
    int implicitRetryLimit_;
    CServerSelector selector_;
    std::wstring videoUrl_;
    OutboxTracker outbox_;
};

// Fills the first "%s" of a string-table text with argument (the text itself
// is never used as a format for the argument).
std::wstring FormatModuleString(UINT id, const std::wstring& argument);

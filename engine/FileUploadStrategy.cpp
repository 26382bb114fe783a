// File upload strategy (see the header).
#include "engine/FileUploadStrategy.h"

#include <memory>

#include "common/Handle.h"
#include "common/LogWriter.h"
#include "common/MarkupText.h"
#include "common/ServiceUrl.h"
#include "common/SettingsStore.h"
#include "common/TextConvert.h"
#include "engine/ImageConverter.h"
#include "engine/ImageFormat.h"
#include "engine/ImageSize.h"
#include "engine/ImageUploader.h"
#include "engine/LinkFormat.h"
#include "engine/MultipartFormData.h"
#include "engine/Progress.h"
#include "engine/TemporaryBasePath.h"
#include "engine/TemporaryFiles.h"
#include "resources/resource.h"

namespace {

const LogWriter& Log()
{
    static const LogWriter log("CFileUploadStrategy");
    return log;
}


// Without a dialog (the engine alone, as in its tests) files that cannot be
// sent are left out and the rest goes ahead; the log tells which.
bool ProceedWithTheRest(const std::vector<std::wstring>&) { return true; }

CFileUploadStrategy::RejectedFilesPrompt& Prompt()
{
    static CFileUploadStrategy::RejectedFilesPrompt prompt = ProceedWithTheRest;
    return prompt;
}

const GUID kImageFormatJpeg = {0xb96b3cae, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

}  // namespace

std::wstring FormatModuleString(UINT id, const std::wstring& argument)
{
    std::wstring text = LoadModuleString(id);
    size_t at = text.find(L"%s");
    if (at != std::wstring::npos) text.replace(at, 2, argument);
    return text;
}

void CFileUploadStrategy::SetRejectedFilesPrompt(RejectedFilesPrompt prompt)
{
    Prompt() = prompt ? std::move(prompt) : RejectedFilesPrompt(ProceedWithTheRest);
}

bool CFileUploadStrategy::IsRejectedPath(const std::wstring& path, FileTypeMode mode)
{
    // A refused address has no local path, and so no kind.
    const std::wstring local = FileUrlToPath(path);
    const char* type = ContentTypeFromPath(local);
    if (mode == FileTypeMode::ImagesOnly) {
        bool image = type && lstrcmpA(type, "application/x-shockwave-flash") != 0 && lstrcmpA(type, "video/x-flv") != 0;
        if (!image) Log().Write("Unsupported image file type: ", path.c_str());
        return !image;
    }
    bool accepted = type || IsVideoPath(local);
    if (!accepted) Log().Write("Unsupported file type: ", path.c_str());
    return !accepted;
}

CFileUploadStrategy::CFileUploadStrategy()
    : removeSizeBar_(SettingsStore().RemoveSizeBar()),
      implicitRetryLimit_(static_cast<int>(SettingsStore().ImplicitRetryCount())),
      selector_(IDS_UPLOAD_URL),
      videoUrl_(ServiceUrl(IDS_VIDEO_UPLOAD_URL))
{
    if (implicitRetryLimit_ < 0) implicitRetryLimit_ = 0;
}

CFileUploadStrategy::~CFileUploadStrategy() = default;

bool CFileUploadStrategy::IsRejected(const CUploadItem& item) { return IsRejectedPath(item.Path(), FileTypeMode::Normal); }

int CFileUploadStrategy::CountRejected()
{
    int count = 0;
    for (const auto& item : items_)
        if (IsRejected(item)) ++count;
    return count;
}

std::wstring CFileUploadStrategy::GetPostUrl()
{
    return GetCurrentItem().IsVideo() ? videoUrl_ : selector_.RandomPick();
}

HRESULT CFileUploadStrategy::SetOption(const wchar_t* name, const VARIANT& value)
{
    if (name && lstrcmpW(name, L"remove_size_bar") == 0) {
        if (V_VT(&value) == VT_EMPTY) return 0;
        if (V_VT(&value) != VT_BOOL) return E_FAIL;
        removeSizeBar_ = V_BOOL(&value) == VARIANT_TRUE;
    }
    return CUploadStrategy::SetOption(name, value);
}

HRESULT CFileUploadStrategy::SetItems(const VARIANT& items)
{
    HRESULT hr = CUploadStrategy::SetItems(items);
    if (hr != 0) return hr;
    int rejected = CountRejected();
    if (rejected == 0) return 0;
    std::vector<std::wstring> paths;
    for (const auto& item : items_) paths.push_back(item.Path());
    bool proceed = Prompt()(paths);
    if (proceed && rejected < GetItemCount()) {
        for (size_t i = items_.size(); i-- > 0;)
            if (IsRejected(items_[i])) items_.erase(items_.begin() + static_cast<ptrdiff_t>(i));
        return S_OK;
    }
    return S_FALSE;  // the upload is dropped
}

HRESULT CFileUploadStrategy::PrepareItem()
{
    currentResult_.Clear();
    return 0;
}

HRESULT CFileUploadStrategy::PrepareRequest(CMultipartFormData& form)
{
    if (FAILED(CUploadStrategy::PrepareRequest(form))) return E_FAIL;
    if (removeSizeBar_) form.AddField("rembar", "1");
    RecordBeforeSend();
    CUploadItem& item = GetCurrentItem();
    HRESULT hr = item.optsize.empty() || item.IsVideo() ? AddUploadFile(item.LocalPath(), form, std::string())
                                                        : AddResampledFile(form);
    if (FAILED(hr)) return hr;
    return FAILED(AddThumbnail(form)) ? E_FAIL : S_OK;
}

int CFileUploadStrategy::Ask(UINT textId, const std::wstring& argument, UINT captionId, UINT flags,
                             const wchar_t* detail)
{
    IProgress* progress = uploader_ ? uploader_->GetProgress() : nullptr;
    if (!progress) return IDCANCEL;
    std::wstring text = FormatModuleString(textId, argument);
    std::wstring caption = LoadModuleString(captionId);
    return progress->ShowError(text.c_str(), caption.c_str(), flags, detail);
}

HRESULT CFileUploadStrategy::AddFilePart(const char* field, const std::wstring& path, CMultipartFormData& form,
                                         const std::string& fileName)
{
    for (;;) {
        Log().Write("Try to open file: ", path.c_str());
        // Shared for deleting too, so that a temporary copy can be removed
        // while a canceled request still holds it open.
        auto file = std::make_unique<File>();
        if (file->Create(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0)) {
            Log().Write("File was opened successfuly: ", path.c_str());
            return form.AddFile(field, std::move(file), ContentTypeFromPath(path), fileName) ? 0 : E_FAIL;
        }
        int answer = Ask(IDS_ERROR_CANNOT_OPEN_FILE, path, IDS_CAPTION_UPLOAD_ERROR, MB_YESNOCANCEL | MB_ICONERROR,
                         nullptr);
        if (answer == IDYES) continue;
        if (answer == IDCANCEL) {
            if (uploader_) uploader_->OnCancel(true);
        } else {
            OnItemFailed();
        }
        return E_FAIL;
    }
}

HRESULT CFileUploadStrategy::AddUploadFile(const std::wstring& path, CMultipartFormData& form,
                                           const std::string& fileName)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        IProgress* progress = uploader_ ? uploader_->GetProgress() : nullptr;
        if (progress) progress->SetSize((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    }
    return AddFilePart("fileupload", path, form, fileName);
}

std::string CFileUploadStrategy::ConvertedFileName(const CUploadItem& item, const std::wstring& converted) const
{
    // Only the file's own name goes to the service, never the folders above it.
    std::wstring local = item.LocalPath();
    size_t slash = local.find_last_of(L"\\/");
    if (slash != std::wstring::npos) local.erase(0, slash + 1);
    size_t dot = local.rfind(L'.');
    if (dot != std::wstring::npos) local.erase(dot);
    size_t convertedSlash = converted.find_last_of(L"\\/");
    size_t convertedDot = converted.rfind(L'.');
    std::wstring extension;
    if (convertedDot != std::wstring::npos && (convertedSlash == std::wstring::npos || convertedDot > convertedSlash))
        extension = converted.substr(convertedDot + 1);
    return Narrow(local + L"." + extension);
}

HRESULT CFileUploadStrategy::AddResampledFile(CMultipartFormData& form)
{
    CUploadItem& item = GetCurrentItem();
    if (!item.convertedPath.empty())
        return AddUploadFile(item.convertedPath, form, ConvertedFileName(item, item.convertedPath));

    std::wstring local = item.LocalPath();
    std::wstring size = Widen(item.optsize);
    if (IsResampleSize(size)) {
        CUploadStrategy::AddResizeFields(form);  // the service resizes
        return AddUploadFile(local, form, std::string());
    }
    if (!IsKnownImage(local)) return AddUploadFile(local, form, std::string());

    int width = 0, height = 0;
    ParseSizeText(size, width, height);
    std::wstring output;
    int result = ResizeToFile(local, width, height, TemporaryBasePath(local), GUID_NULL, output);
    if (result < 0) {
        Ask(IDS_ERROR_INVALID_FILE, local, IDS_CAPTION_PROCESSING_ERROR, MB_ICONERROR, nullptr);
        return E_FAIL;
    }
    if (result == kResizeWritten) {
        AdoptTemporaryFile(output);
        item.convertedPath = output;
        return AddUploadFile(output, form, ConvertedFileName(item, output));
    }
    if (result != kResizeFits) CUploadStrategy::AddResizeFields(form);
    return AddUploadFile(local, form, std::string());
}

HRESULT CFileUploadStrategy::AddThumbnail(CMultipartFormData& form)
{
    CUploadItem& item = GetCurrentItem();
    if (!item.thumbnailFile.empty()) return AddFilePart("thumbupload", item.thumbnailFile, form, std::string());
    std::wstring source = item.IsVideo() ? FileUrlToPath(item.thumbnailSource) : item.LocalPath();
    if (source.empty() || !IsKnownImage(source)) return S_FALSE;  // no thumbnail
    std::wstring output;
    int result = ResizeToFile(source, 150, 150, TemporaryBasePath(source), kImageFormatJpeg, output);
    if (result < 0) {
        Ask(IDS_ERROR_INVALID_FILE, source, IDS_CAPTION_PROCESSING_ERROR, MB_ICONERROR, nullptr);
        return E_FAIL;
    }
    // A source that already fits is its own thumbnail and stays the user's.
    if (result == kResizeWritten) AdoptTemporaryFile(output);
    item.thumbnailFile = output;
    return AddFilePart("thumbupload", output, form, std::string());
}

bool CFileUploadStrategy::ParseResponse(const wchar_t* response)
{
    if (!currentResult_.Parse(response) || !currentResult_.imageLink || currentResult_.imageLink->empty())
        return false;
    const CUploadItem& item = GetCurrentItem();
    currentResult_.SetName(item.Path().c_str());
    currentResult_.isPublic = item.isPublic;
    results_.push_back(currentResult_);
    return true;
}

HRESULT CFileUploadStrategy::DocumentComplete(const wchar_t* response)
{
    try {
        if (ParseResponse(response)) {
            Log().Write("DocumentComplete: Item complete successfully: ", GetCurrentItem().Path().c_str());
            if (IProgress* progress = uploader_ ? uploader_->GetProgress() : nullptr) progress->FinishStage();
            OnItemDone();
            ++uploadedCount_;
        } else {
            Log().Write("DocumentComplete: Cannot parse result page");
            outbox_.Failed(currentIndex_, ClassifyAnswerError(currentResult_.errorId),
                           currentResult_.errorText.value_or(L"The answer could not be read"));
            switch (AskRetry()) {
            case IDYES:
                if (SUCCEEDED(UploadItem())) return 0;
                break;
            case IDNO:
                OnItemFailed();
                break;
            case IDCANCEL:
                if (QueryCancel(false) != 1) {
                    Log().Write("DocumentComplete: CANCEL");
                    if (uploader_) uploader_->Finish();
                    return 0;
                }
                break;
            }
        }
        if (FAILED(UploadNextItem())) return UploadComplete();
        return 0;
    } catch (...) {
        Log().Format("EXCEPTION on DocumentComplete %s", LogAddress(this).c_str());
        return E_FAIL;
    }
}

int CFileUploadStrategy::UploadError()
{
    try {
        Log().Write("File upload error", GetCurrentItem().Path().c_str());
        outbox_.Failed(currentIndex_, OutboxFailure::Transport, L"No connection to the service");
        switch (AskRetry()) {
        case IDYES:
            // A retry that cannot be posted fails this item only.
            if (SUCCEEDED(UploadItem())) return 0;
            break;
        case IDNO:
            OnItemFailed();
            break;
        case IDCANCEL:
            if (QueryCancel(false) != 1) return 1;
            break;
        }
        if (SUCCEEDED(UploadNextItem())) return 0;
        UploadComplete();
        return 1;
    } catch (...) {
        Log().Format("EXCEPTION on UploadError %s", LogAddress(this).c_str());
        return 1;
    }
}

int CFileUploadStrategy::AskRetry()
{
    if (implicitRetryCount_ >= implicitRetryLimit_ || IsFatalError()) {
        implicitRetryCount_ = 0;
        return ShowUploadError();
    }
    ++implicitRetryCount_;
    Log().Write("Implicit retry");
    return IDYES;
}

bool CFileUploadStrategy::IsFatalError()
{
    return currentResult_.errorId && *currentResult_.errorId == L"file_too_big";
}

int CFileUploadStrategy::ShowUploadError()
{
    const std::wstring& path = GetCurrentItem().Path();
    int answer;
    if (IsFatalError()) {
        answer = Ask(IDS_ERROR_FILE_TOO_BIG, path, IDS_CAPTION_UPLOAD_ERROR, MB_OKCANCEL | MB_ICONERROR, nullptr);
    } else {
        std::wstring detail = currentResult_.errorText.value_or(std::wstring());
        if (outbox_.LeftOut(currentIndex_)) detail += (detail.empty() ? L"" : L"\n") + LoadModuleString(IDS_OUTBOX_FULL);
        answer = Ask(IDS_ERROR_CANNOT_UPLOAD, path, IDS_CAPTION_UPLOAD_ERROR, MB_YESNOCANCEL | MB_ICONERROR,
                     detail.empty() ? nullptr : detail.c_str());
    }
    return answer == IDOK ? IDNO : answer;
}

HRESULT CFileUploadStrategy::UploadComplete()
{
    Log().Write("UploadComplete...");
    if (uploadedCount_ == 0) {
        Log().Write("Uploaded item count is ZERO");
        return 0;
    }
    target_->OnUploadComplete(results_);
    if (results_.size() == 1) {
        if (results_[0].donePage) {
            Log().Write("Navigate to done page: ", results_[0].donePage->c_str());
            target_->Navigate(results_[0].donePage->c_str());
        }
    } else if (results_.size() > 1) {
        CServerSelector selector(IDS_RESULTS_PAGE_URL, IDS_ACCOUNT_HOST);
        std::wstring url = selector.FirstOrRandomPick();
        Log().Write("Navigate to done page: ", url.c_str());
        CImageTargetPostData data(this);
        target_->PostData(url.c_str(), data);
    }
    return 0;
}

int CFileUploadStrategy::QueryCancel(bool)
{
    outbox_.Abandon(currentIndex_);
    RemoveTemporaryFiles();
    return 0;
}

void CFileUploadStrategy::OnItemDone()
{
    target_->OnItemUploaded(currentResult_);
    outbox_.Sent(currentIndex_);
    RemoveTemporaryFiles();
}

void CFileUploadStrategy::OnItemFailed()
{
    outbox_.Abandon(currentIndex_);
    RemoveTemporaryFiles();
}

OutboxRecord CFileUploadStrategy::OutboxRecordOf(const CUploadItem& item)
{
    return OutboxRecordOfItem(item, removeSizeBar_, statistics_);
}

void CFileUploadStrategy::RecordBeforeSend()
{
    const CUploadItem& item = GetCurrentItem();
    outbox_.BeforeSend(currentIndex_, OutboxRecordOf(item), IsAdoptedTemporaryFile(item.LocalPath()));
}

void CFileUploadStrategy::ResumeFromOutbox(const std::wstring& id, const OutboxRecord& record)
{
    // The transload family sends local files as "file:///" addresses.
    const bool asFileUrl = record.kind != OutboxKind::File && !IsWebAddress(record.path);
    CUploadItem item(asFileUrl ? PathToFileUrl(record.path) : record.path);
    item.optsize = record.optsize;
    item.tags = record.tags;
    item.isPublic = record.isPublic;
    removeSizeBar_ = record.removeSizeBar;
    statistics_ = record.statistics;
    outbox_.Resume(static_cast<int>(items_.size()), id, record);
    items_.push_back(std::move(item));
}

void CFileUploadStrategy::RemoveTemporaryFiles()
{
    if (currentIndex_ < 0 || currentIndex_ >= GetItemCount()) return;
    const CUploadItem& item = GetCurrentItem();
    for (const std::wstring* path : {&item.Path(), &item.convertedPath, &item.thumbnailSource, &item.thumbnailFile})
        RemoveTemporaryFile(*path);
}

bool CFileUploadStrategy::CImageTargetPostData::FillRequest(CMultipartFormData& request)
{
    for (const auto& result : strategy_->results_) {
        request.AddField("id[]", Narrow(result.shortLink.value_or(std::wstring())));
        request.AddField("public[]", result.isPublic ? "yes" : "no");
    }
    return true;
}

bool CFileUploadStrategy::CImageTargetPostData::FillHtmlForm(std::wstring& text, bool useThumbnail)
{
    // Every template is filled in one pass and every value escaped for its
    // attribute, so a link can neither end its attribute nor bring in a
    // placeholder of its own.
    std::wstring options, permissions;
    for (const auto& result : strategy_->results_) {
        std::wstring option = LoadModuleString(IDS_FORM_RESULTS_OPTION);
        FillPlaceholders(option, result, useThumbnail, Markup::kHtmlAttribute);
        options += option;
        permissions += ExpandTemplate(LoadModuleString(IDS_FORM_RESULTS_PERMISSION),
                                      {{L"%permission%", result.isPublic ? L"yes" : L"no"}});
    }
    text = ExpandTemplate(LoadModuleString(IDS_FORM_RESULTS),
                          {{L"%formatted_link%", options}, {L"%permissions%", permissions}});
    return true;
}

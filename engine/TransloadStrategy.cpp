// Transload strategy (see the header).
#include "engine/TransloadStrategy.h"

#include "common/LogWriter.h"
#include "common/TextConvert.h"
#include "engine/MultipartFormData.h"
#include "resources/resource.h"

namespace {

const LogWriter& Log()
{
    static const LogWriter log("CTransloadStrategy");
    return log;
}

bool HasErrorId(const CUploadResult& result, const wchar_t* id) { return result.errorId && *result.errorId == id; }

}  // namespace

HRESULT CTransloadStrategy::SetItems(const VARIANT& items) { return CUploadStrategy::SetItems(items); }

HRESULT CTransloadStrategy::PrepareRequest(CMultipartFormData& form)
{
    CUploadItem& item = GetCurrentItem();
    if (item.IsFileUrl()) return CFileUploadStrategy::PrepareRequest(form);
    if (FAILED(CUploadStrategy::PrepareRequest(form))) return E_FAIL;
    RecordBeforeSend();
    if (removeSizeBar_) form.AddField("rembar", "1");
    form.AddField("url", Narrow(item.Path()));
    Log().Write("Transloading url: ", item.Path().c_str());
    return 0;
}

HRESULT CTransloadStrategy::AddResizeFields(CMultipartFormData& form)
{
    if (GetCurrentItem().IsFileUrl()) return S_OK;
    return CUploadStrategy::AddResizeFields(form);
}

bool CTransloadStrategy::IsFatalError()
{
    return HasErrorId(currentResult_, L"resource_not_found") || HasErrorId(currentResult_, L"transload_error") ||
           CFileUploadStrategy::IsFatalError();
}

int CTransloadStrategy::ShowUploadError()
{
    const std::wstring& path = GetCurrentItem().Path();
    int answer;
    if (HasErrorId(currentResult_, L"resource_not_found")) {
        answer = Ask(IDS_ERROR_SOURCE_NOT_FOUND, path, IDS_CAPTION_TRANSLOAD_ERROR, MB_OKCANCEL | MB_ICONERROR,
                     nullptr);
    } else if (HasErrorId(currentResult_, L"transload_error")) {
        answer = Ask(IDS_ERROR_TRANSLOAD_FETCH, path, IDS_CAPTION_TRANSLOAD_ERROR, MB_OKCANCEL | MB_ICONERROR,
                     nullptr);
    } else {
        const wchar_t* detail = currentResult_.errorText ? currentResult_.errorText->c_str() : nullptr;
        answer = Ask(IDS_ERROR_CANNOT_TRANSLOAD, path, IDS_CAPTION_TRANSLOAD_ERROR, MB_YESNOCANCEL | MB_ICONERROR,
                     detail);
    }
    return answer == IDOK ? IDNO : answer;
}

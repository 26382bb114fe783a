// Blog-posting strategy (see the header).
#include "engine/PostToBlogStrategy.h"

#include "common/LogWriter.h"
#include "common/ServiceUrl.h"
#include "engine/ImageTarget.h"
#include "resources/resource.h"

namespace {

const LogWriter& Log()
{
    static const LogWriter log("CPostToBlogStrategy");
    return log;
}

}  // namespace

HRESULT CPostToBlogStrategy::SetItems(const VARIANT& items)
{
    if (V_VT(&items) & VT_ARRAY) {
        // The blog page takes one picture; a longer list is a caller error.
        SAFEARRAY* array = V_ARRAY(&items);
        LONG lower = 0, upper = -1;
        if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
            FAILED(SafeArrayGetUBound(array, 1, &upper)) || upper != lower)
            return E_FAIL;
    }
    return CTransloadStrategy::SetItems(items);
}

HRESULT CPostToBlogStrategy::UploadComplete()
{
    Log().Write("CPostToBlogStrategy:Upload complete");
    if (uploadedCount_ != 0) {
        std::wstring url = ServiceUrl(IDS_BLOG_POST_URL) + currentResult_.shortLink.value_or(std::wstring());
        target_->Navigate(url.c_str());
    }
    return 0;
}

OutboxRecord CPostToBlogStrategy::OutboxRecordOf(const CUploadItem& item)
{
    OutboxRecord record = CTransloadStrategy::OutboxRecordOf(item);
    record.kind = OutboxKind::BlogPost;
    return record;
}

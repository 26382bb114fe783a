// The composite target (see the header).
#include "engine/ImageTarget.h"

// An exception from either member ends the forwarding of that one call: a
// failing destination must not stop the upload.
#define VP_FORWARD(call)                         \
    try {                                        \
        if (first_) first_->call;                \
        if (second_) second_->call;              \
    } catch (...) {                              \
    }

void CCompositeImageTarget::OnItemUploaded(const CUploadResult& result)
{ VP_FORWARD(OnItemUploaded(result)) }

void CCompositeImageTarget::OnUploadComplete(const UploadResults& results)
{ VP_FORWARD(OnUploadComplete(results)) }

void CCompositeImageTarget::Navigate(const wchar_t* url)
{ VP_FORWARD(Navigate(url)) }

void CCompositeImageTarget::PostData(const wchar_t* url, ImageTargetPostData& provider)
{ VP_FORWARD(PostData(url, provider)) }

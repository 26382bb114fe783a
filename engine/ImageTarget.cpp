// The composite target (see the header).
#include "engine/ImageTarget.h"

void CCompositeImageTarget::OnItemUploaded(const CUploadResult& result)
{
    if (first_) first_->OnItemUploaded(result);
    if (second_) second_->OnItemUploaded(result);
}

void CCompositeImageTarget::OnUploadComplete(const UploadResults& results)
{
    if (first_) first_->OnUploadComplete(results);
    if (second_) second_->OnUploadComplete(results);
}

void CCompositeImageTarget::Navigate(const wchar_t* url)
{
    if (first_) first_->Navigate(url);
    if (second_) second_->Navigate(url);
}

void CCompositeImageTarget::PostData(const wchar_t* url, ImageTargetPostData& provider)
{
    if (first_) first_->PostData(url, provider);
    if (second_) second_->PostData(url, provider);
}

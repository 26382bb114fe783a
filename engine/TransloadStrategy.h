// Asks the service to fetch a picture from its web address ("transload")
// instead of sending its bytes; "file:///" addresses are uploaded as files.
// Base of the blog, slideshow and tag queue strategies.
#pragma once

#include "engine/FileUploadStrategy.h"

class CTransloadStrategy : public CFileUploadStrategy {
public:
    CTransloadStrategy() = default;

    // Every address is accepted: the service judges what it fetches.
    bool IsRejected(const CUploadItem&) override { return false; }
    // The items as given; no file-type warning.
    HRESULT SetItems(const VARIANT& items) override;
    HRESULT PrepareRequest(CMultipartFormData& form) override;
    // The service resizes fetched pictures; local files are resized here.
    HRESULT AddResizeFields(CMultipartFormData& form) override;
    int ShowUploadError() override;
    bool IsFatalError() override;
};

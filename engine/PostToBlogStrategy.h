// Uploads or transloads one picture and then opens the service's blog-posting
// page for it.
#pragma once

#include "engine/TransloadStrategy.h"

class CPostToBlogStrategy : public CTransloadStrategy {
public:
    CPostToBlogStrategy() = default;

    // Exactly one item: an array of any other length fails with E_FAIL.
    HRESULT SetItems(const VARIANT& items) override;
    HRESULT UploadComplete() override;

protected:
    // Kept as a blog post: sent later, it opens the blog page too.
    OutboxRecord OutboxRecordOf(const CUploadItem& item) override;
};

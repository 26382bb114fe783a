// Ends a pass of the tag queue by starting the next one through a new
// uploader object, which picks up whatever was queued meanwhile.
#pragma once

#include "engine/ImageTarget.h"

class CRestartImageTarget : public ImageTarget {
public:
    void OnUploadComplete(const UploadResults& results) override;
};

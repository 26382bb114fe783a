// The XML answer to an upload request: the links of the stored file and its
// ready-made codes (HTML and the two forum dialects), or an error with an id.
// Error ids the toolbar acts on: "file_too_big", "resource_not_found",
// "transload_error".
#pragma once

#include "MediaStore.h"
#include "ServiceConfig.h"

#include <string>

namespace devservice {

struct ItemLinks {
    std::string image;  // direct link to the stored file
    std::string ad;     // page that shows the file
    std::string thumb;  // thumbnail; empty for a video without one
    std::string done;   // page after a single upload
};

ItemLinks linksOf(const StoredItem& item, const ServiceHosts& hosts);

// The answer for a stored item. A video carries "video_embed", "frame_bb",
// "frame_bb2" instead of the picture codes and a "video-info"/"duration"
// element; without a thumbnail it has no "thumb_link" and thumbnail codes.
std::string uploadAnswerXml(const StoredItem& item, const ServiceHosts& hosts);

// <response><links><error id="...">text</error></links></response>
std::string errorAnswerXml(const std::string& errorId, const std::string& text);

}  // namespace devservice

// Statistics form texts (see the header).
#include "engine/ActionStatistics.h"

const char* StatisticsOperationText(int statistics)
{
    static const char* const operations[] = {"unknown",   "drag_and_drop", "upload",       "transaload",
                                             "slideshow", "screenshot",    "post_to_blog", "tag_image"};
    unsigned operation = static_cast<unsigned>(statistics) & 0x0F;
    return operation < sizeof(operations) / sizeof(operations[0]) ? operations[operation] : "unknown";
}

const char* StatisticsSourceText(int statistics)
{
    static const char* const sources[] = {"unknown", "toolbar", "browser", "explorer"};
    unsigned source = (static_cast<unsigned>(statistics) >> 4) & 0x0F;
    return source < sizeof(sources) / sizeof(sources[0]) ? sources[source] : "unknown";
}

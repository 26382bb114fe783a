// Identifiers of the 64-bit Explorer extension's string table (the same
// numbers as the toolbar library's menu texts).
#pragma once

#define IDS_UPLOAD_FILE 510
#define IDS_UPLOAD_FILES 511
#define IDS_TAG_FILE 512
#define IDS_TAG_FILES 513
#define IDS_POST_TO_BLOG 514

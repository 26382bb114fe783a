// One file or address to upload with its options, and the rules that follow
// from a path: its content type, whether it is a video, its local file path.
#pragma once

#include <string>

// PathToFileUrl, the inverse of FileUrlToPath below.
#include "common/FileUrl.h"

class CUploadItem {
public:
    CUploadItem() = default;
    explicit CUploadItem(const std::wstring& path) { SetPath(path); }

    const std::wstring& Path() const { return path_; }
    // Sets the path and works out whether it names a video.
    void SetPath(const std::wstring& path);

    std::string tags;            // narrow, sent as "tags"
    std::string optsize;         // normalised size text, "resample", or empty
    bool isPublic = true;        // sent as "public" = "yes"/"no"
    std::wstring convertedPath;  // resized copy sent instead of the file
    std::wstring thumbnailSource;
    std::wstring thumbnailFile;  // ready thumbnail sent as "thumbupload"

    bool IsVideo() const { return isVideo_; }
    // The local file the item stands for ("file:///" addresses decoded).
    std::wstring LocalPath() const;
    bool IsFileUrl() const;

private:
    std::wstring path_;
    bool isVideo_ = false;
};

// "image/jpeg" and the like for the path's extension (case-insensitive), or
// null when the extension is not a known kind.
const char* ContentTypeFromPath(const std::wstring& path);

// The video pattern list (";"-terminated "*.ext" entries) read once from the
// file-dialog filter text; exposed for tests.
const std::wstring& VideoPatternList();
// Extracts the pattern list from a filter text: the field after "|Video".
std::wstring VideoPatternsFromFilter(const std::wstring& filter);
// True when the path's lower-cased extension is in the video list.
bool IsVideoPath(const std::wstring& path);

// A "file:///" address (any case) as a local path: each %XX escape decoded
// exactly once, the prefix dropped and "/" turned into "\". Other paths are
// returned unchanged. Refused, with an empty result: any path holding a NUL
// (raw or decoded), and an address whose decoded path the type checks
// (ContentTypeFromPath, IsVideoPath) would judge differently from the address.
std::wstring FileUrlToPath(const std::wstring& path);
bool StartsWithFileUrl(const std::wstring& path);

// One waiting upload of the outbox as it is kept on disk: what to send, with
// which options, and how its attempts went. The file format is plain UTF-8
// "key=value" lines closed by a checksum line, so that a torn or altered file
// is recognised and never half-read.
#pragma once

#include <windows.h>

#include <map>
#include <string>

enum class OutboxKind { File = 0, Transload = 1, BlogPost = 2, SlideshowMember = 3, TagQueueItem = 4 };

// A slideshow's part of a record. Its members share a group; each member's
// record holds its place and the slideshow's options, and the group's own
// record holds the links of the members already on the service, by place.
struct OutboxSlideshow {
    std::wstring group;
    int slot = 0;
    std::string effect;
    std::string background;
    std::string size;
    bool isPublic = true;
    std::map<int, std::wstring> links;
};

struct OutboxRecord {
    OutboxKind kind = OutboxKind::File;
    // The file or address to send: the user's own file, or a copy the outbox
    // keeps in its folder (keptCopy) when the product made the file. Only
    // transloads, blog posts, slideshow members and tag-queue items hold a
    // web address (IsWebAddress of common/MarkupText.h).
    std::wstring path;
    bool keptCopy = false;
    // What the user sees in the list: the original name of the item.
    std::wstring name;
    std::string optsize;
    std::string tags;
    bool isPublic = true;
    bool removeSizeBar = true;
    int statistics = 0;
    ULONGLONG created = 0;  // FILETIME of the first write
    // The user's file when recorded, to notice a change before sending.
    ULONGLONG fileSize = 0;
    ULONGLONG fileTime = 0;
    int attempts = 0;
    std::wstring lastFailure;
    ULONGLONG nextAttempt = 0;  // FILETIME before which no retry starts
    OutboxSlideshow slideshow;  // kind SlideshowMember only
};

// Records larger than this are refused on reading and never written.
constexpr size_t kMaxOutboxRecordBytes = 64 * 1024;

// The record as file contents; empty when a text holds a NUL or the record
// would exceed kMaxOutboxRecordBytes.
std::string SerializeOutboxRecord(const OutboxRecord& record);
// Fills record from file contents; false (record unspecified) for anything
// that is not a whole, unaltered record of this format.
bool ParseOutboxRecord(const std::string& bytes, OutboxRecord& record);

// Whether an id (of a record or a group) is one the outbox makes: hex digits
// and "-", shorter than 64 characters.
bool IsOutboxId(const std::wstring& id);

// The record of one tagged item in the tag upload queue. Every browser process
// of the user writes and reads these small files, so a file may be cut short,
// damaged or written by someone else: decoding checks every length against
// what is left of the file and refuses the whole record on the first doubt.
#pragma once

#include <cstddef>
#include <string>

struct QueueRecord {
    std::wstring path;          // the item's path or address
    std::wstring tags;
    bool isPublic = true;
    std::wstring size;          // size text; empty when the item has none
    bool removeSizeBar = true;  // stays true when the file ends before this byte
};

// The largest queue file that is read back; nothing this product writes comes
// near it, so a bigger file is damaged.
constexpr size_t kMaxQueueFileBytes = 1 << 20;

// The file bytes of a record: little-endian counts of UTF-16 units, the texts
// without terminators, one byte per flag; the size fields only when there is a size.
std::string EncodeQueueRecord(const QueueRecord& record);

// Reads a record from the whole content of a queue file. False for a damaged
// record (a count larger than the rest of the file or cut inside a code unit, a
// flag byte other than 0 and 1, a file cut before the flags, an oversized
// file); problem then says what was wrong, for the log.
bool DecodeQueueRecord(const void* data, size_t size, QueueRecord& record, std::string& problem);

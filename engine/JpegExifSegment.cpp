// Reading and inserting the EXIF segment of JPEG data. Every length read from
// the data is checked against the bytes that are really there.
#include "engine/JpegExifSegment.h"

#include <cstring>

#include "common/Handle.h"

namespace {

// Metadata segments come before the image data; reading this much of a file
// is enough to find them (one segment holds at most 64 KB).
constexpr DWORD kMaxHeaderBytes = 1024 * 1024;

constexpr BYTE kMarker = 0xFF;
constexpr BYTE kStartOfImage = 0xD8;
constexpr BYTE kEndOfImage = 0xD9;
constexpr BYTE kStartOfScan = 0xDA;
constexpr BYTE kApp0 = 0xE0;
constexpr BYTE kApp1 = 0xE1;
const char kExifId[] = "Exif\0";  // with the string's own terminator: six bytes

struct Segment {
    BYTE marker;
    size_t offset;  // of the 0xFF
    size_t size;    // marker, length and data
};

bool IsJpeg(const BYTE* data, size_t size)
{
    return size >= 4 && data[0] == kMarker && data[1] == kStartOfImage;
}

bool IsExif(const BYTE* data, size_t size, const Segment& segment)
{
    return segment.marker == kApp1 && segment.size >= 4 + sizeof(kExifId) &&
           std::memcmp(data + segment.offset + 4, kExifId, sizeof(kExifId)) == 0;
}

// Calls visit(segment) for each segment with a length, in order, until the
// image data starts, the data ends or visit returns false.
template <typename Visit>
void ForEachHeaderSegment(const BYTE* data, size_t size, Visit visit)
{
    if (!IsJpeg(data, size)) return;
    size_t pos = 2;
    while (pos + 4 <= size) {
        if (data[pos] != kMarker) return;
        const BYTE marker = data[pos + 1];
        if (marker == kMarker) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == kStartOfScan || marker == kEndOfImage) return;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {  // no length
            pos += 2;
            continue;
        }
        const size_t length = (static_cast<size_t>(data[pos + 2]) << 8) | data[pos + 3];
        if (length < 2 || pos + 2 + length > size) return;
        if (!visit(Segment{marker, pos, 2 + length})) return;
        pos += 2 + length;
    }
}

}  // namespace

std::vector<BYTE> FindJpegExifSegment(const BYTE* data, size_t size)
{
    std::vector<BYTE> found;
    ForEachHeaderSegment(data, size, [&](const Segment& segment) {
        if (!IsExif(data, size, segment)) return true;
        found.assign(data + segment.offset, data + segment.offset + segment.size);
        return false;
    });
    return found;
}

std::vector<BYTE> ReadJpegExifSegment(const std::wstring& path)
{
    File file;
    if (!file.Create(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL)) {
        return {};
    }
    const LONGLONG fileSize = file.Size();
    if (fileSize <= 0) return {};
    const DWORD wanted = fileSize < kMaxHeaderBytes ? static_cast<DWORD>(fileSize) : kMaxHeaderBytes;
    std::vector<BYTE> header(wanted);
    if (!file.Read(header.data(), wanted)) return {};
    header.resize(file.Transferred());
    return FindJpegExifSegment(header.data(), header.size());
}

bool InsertJpegExifSegment(std::vector<BYTE>& jpeg, const std::vector<BYTE>& segment)
{
    if (!IsJpeg(jpeg.data(), jpeg.size())) return false;
    if (!FindJpegExifSegment(jpeg.data(), jpeg.size()).empty()) return true;
    // The segment must be a well-formed EXIF segment itself.
    if (segment.size() < 4 + sizeof(kExifId) || segment[0] != kMarker || segment[1] != kApp1 ||
        ((static_cast<size_t>(segment[2]) << 8) | segment[3]) + 2 != segment.size() ||
        std::memcmp(segment.data() + 4, kExifId, sizeof(kExifId)) != 0) {
        return false;
    }
    size_t insertAt = 2;
    ForEachHeaderSegment(jpeg.data(), jpeg.size(), [&](const Segment& first) {
        if (first.marker == kApp0) insertAt = first.offset + first.size;
        return false;
    });
    jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(insertAt), segment.begin(), segment.end());
    return true;
}

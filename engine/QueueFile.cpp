// Queue file records (see the header).
#include "engine/QueueFile.h"

#include <cstdint>
#include <cstdio>

namespace {

void PutCount(std::string& out, size_t count)
{
    const uint32_t value = static_cast<uint32_t>(count);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void PutText(std::string& out, const std::wstring& text)
{
    PutCount(out, text.size());
    for (wchar_t unit : text) {
        const uint16_t value = static_cast<uint16_t>(unit);
        out.push_back(static_cast<char>(value & 0xFF));
        out.push_back(static_cast<char>(value >> 8));
    }
}

// A cursor over the file content that never moves past its end.
class Reader {
public:
    Reader(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    size_t Left() const { return size_ - at_; }

    bool Count(uint32_t& value)
    {
        if (Left() < 4) return false;
        value = static_cast<uint32_t>(data_[at_]) | static_cast<uint32_t>(data_[at_ + 1]) << 8 |
                static_cast<uint32_t>(data_[at_ + 2]) << 16 | static_cast<uint32_t>(data_[at_ + 3]) << 24;
        at_ += 4;
        return true;
    }

    // A count followed by that many UTF-16 units. The byte length is worked
    // out in 64 bits, so a huge count cannot wrap around into a small one.
    bool Text(std::wstring& text, const char* field, std::string& problem)
    {
        uint32_t units = 0;
        if (!Count(units)) return Fail(problem, "file ends inside the length of the ", field);
        const uint64_t bytes = static_cast<uint64_t>(units) * 2;
        if (bytes > Left()) {
            char line[160];
            std::snprintf(line, sizeof(line), "%s length %lu is larger than the %lu bytes left", field,
                          static_cast<unsigned long>(units), static_cast<unsigned long>(Left()));
            problem = line;
            return false;
        }
        text.clear();
        text.reserve(units);
        for (uint32_t i = 0; i < units; ++i, at_ += 2)
            text.push_back(static_cast<wchar_t>(data_[at_] | data_[at_ + 1] << 8));
        return true;
    }

    // A byte that must be 0 or 1.
    bool Flag(bool& value, const char* field, std::string& problem)
    {
        if (Left() < 1) return Fail(problem, "file ends before the ", field);
        const unsigned char byte = data_[at_++];
        if (byte > 1) return Fail(problem, "bad byte in ", field);
        value = byte == 1;
        return true;
    }

private:
    static bool Fail(std::string& problem, const char* what, const char* field)
    {
        problem = std::string(what) + field;
        return false;
    }

    const unsigned char* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace

std::string EncodeQueueRecord(const QueueRecord& record)
{
    std::string out;
    PutText(out, record.path);
    PutText(out, record.tags);
    out.push_back(record.isPublic ? 1 : 0);
    out.push_back(record.size.empty() ? 0 : 1);
    if (!record.size.empty()) PutText(out, record.size);
    out.push_back(record.removeSizeBar ? 1 : 0);
    return out;
}

bool DecodeQueueRecord(const void* data, size_t size, QueueRecord& record, std::string& problem)
{
    problem.clear();
    if (size > kMaxQueueFileBytes) {
        problem = "file is larger than any queue record";
        return false;
    }
    if (!data && size != 0) {
        problem = "no content";
        return false;
    }
    Reader reader(static_cast<const unsigned char*>(data), size);
    QueueRecord read;
    bool hasSize = false;
    if (!reader.Text(read.path, "path", problem) || !reader.Text(read.tags, "tags", problem) ||
        !reader.Flag(read.isPublic, "public flag", problem) || !reader.Flag(hasSize, "size flag", problem))
        return false;
    if (hasSize && !reader.Text(read.size, "size", problem)) return false;
    // Records without the last byte keep the default: the size bar is removed.
    if (reader.Left() > 0 && !reader.Flag(read.removeSizeBar, "remove-size-bar flag", problem)) return false;
    record = std::move(read);
    return true;
}

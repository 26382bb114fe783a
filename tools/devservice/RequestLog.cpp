// Request records and their JSON form; see RequestLog.h.
#include "RequestLog.h"

#include "Text.h"

#include <algorithm>

namespace devservice {
namespace {

std::string pairsJson(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string out = "[";
    for (const auto& [name, value] : pairs)
        out += (out.size() > 1 ? "," : "") + std::string("[") + jsonString(name) + "," + jsonString(value) + "]";
    return out + "]";
}

std::string fieldJson(const FieldRecord& field) {
    std::string out = "{\"name\":" + jsonString(field.name);
    if (field.isFile) {
        out += ",\"file\":true,\"filename\":" + jsonString(field.fileName) +
               ",\"content_type\":" + jsonString(field.contentType) + ",\"sha256\":" + jsonString(field.sha256);
    } else {
        out += ",\"value\":" + jsonString(field.value);
    }
    return out + ",\"size\":" + std::to_string(field.size) + "}";
}

}  // namespace

std::string RequestRecord::toJson() const {
    std::string out = "{\"seq\":" + std::to_string(seq) + ",\"method\":" + jsonString(method) +
                      ",\"target\":" + jsonString(target) + ",\"path\":" + jsonString(path) +
                      ",\"remote\":" + jsonString(remote) + ",\"headers\":" + pairsJson(headers) + ",\"fields\":[";
    for (std::size_t i = 0; i < fields.size(); ++i)
        out += (i ? "," : "") + fieldJson(fields[i]);
    out += "],\"cookies\":" + pairsJson(cookies) + ",\"challenge\":{\"verdict\":" + jsonString(challenge.verdict) +
           ",\"challenge\":" + jsonString(challenge.challenge) + ",\"response\":" + jsonString(challenge.response) +
           ",\"expected\":" + jsonString(challenge.expected) + "},\"status\":" + std::to_string(status) +
           ",\"outcome\":" + jsonString(outcome) + ",\"item\":" + jsonString(item) +
           ",\"error_id\":" + jsonString(errorId) + ",\"fault\":" + jsonString(fault) +
           ",\"body_bytes\":" + std::to_string(bodyBytes) + "}";
    return out;
}

std::size_t RequestRecord::memoryBytes() const {
    auto pairs = [](const std::vector<std::pair<std::string, std::string>>& list) {
        std::size_t bytes = list.capacity() * sizeof(list[0]);
        for (const auto& [name, value] : list)
            bytes += name.capacity() + value.capacity();
        return bytes;
    };
    std::size_t bytes = sizeof(*this) + method.capacity() + target.capacity() + path.capacity() + remote.capacity() +
                        pairs(headers) + pairs(cookies) + fields.capacity() * sizeof(FieldRecord) +
                        challenge.challenge.capacity() + challenge.response.capacity() +
                        challenge.expected.capacity() + outcome.capacity() + item.capacity() + errorId.capacity() +
                        fault.capacity();
    for (const FieldRecord& field : fields)
        bytes += field.name.capacity() + field.value.capacity() + field.fileName.capacity() +
                 field.contentType.capacity() + field.sha256.capacity();
    return bytes;
}

void RequestLog::add(RequestRecord record) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (record.seq <= clearedThrough_) return;
    // Counted once here: moves inside the deque may change capacities later.
    record.accountedBytes = record.memoryBytes();
    memoryBytes_ += record.accountedBytes;
    // Keep arrival order although requests finish in any order.
    auto at = std::upper_bound(records_.begin(), records_.end(), record.seq,
                               [](std::uint64_t seq, const RequestRecord& r) { return seq < r.seq; });
    records_.insert(at, std::move(record));
    while (records_.size() > 1 && (records_.size() > kMaxRecords || memoryBytes_ > kMaxMemoryBytes)) {
        memoryBytes_ -= records_.front().accountedBytes;
        records_.pop_front();
    }
}

std::size_t RequestLog::memoryBytes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return memoryBytes_;
}

std::string RequestLog::toJson(std::uint64_t since) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out = "[";
    bool first = true;
    for (const RequestRecord& record : records_) {
        if (record.seq <= since)
            continue;
        out += (first ? "\n" : ",\n") + record.toJson();
        first = false;
    }
    return out + "\n]\n";
}

std::vector<RequestRecord> RequestLog::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {records_.begin(), records_.end()};
}

void RequestLog::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    clearedThrough_ = seq_;
    records_.clear();
    memoryBytes_ = 0;
}

}  // namespace devservice

// The record of every request the service received (except its own
// inspection requests), for tests to read back as JSON: method, target,
// headers, each form field with its value or, for a file part, its file
// name, content type, size and SHA-256, the cookies, the verdict on the
// cookie challenge, and what the service did with it.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace devservice {

struct FieldRecord {
    std::string name;
    bool isFile = false;
    std::string value;       // text fields (cut at kMaxFieldValue bytes)
    std::string fileName;    // file parts
    std::string contentType; // file parts
    std::uint64_t size = 0;  // bytes of the value or file
    std::string sha256;      // file parts

    static constexpr std::size_t kMaxFieldValue = 64 * 1024;
};

struct ChallengeRecord {
    std::string verdict = "none";  // none, valid, invalid, no_challenge
    std::string challenge;
    std::string response;
    std::string expected;
};

struct RequestRecord {
    std::uint64_t seq = 0;  // arrival order
    std::string method;
    std::string target;  // path and query as sent
    std::string path;
    std::string remote;
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<FieldRecord> fields;
    std::vector<std::pair<std::string, std::string>> cookies;
    ChallengeRecord challenge;
    int status = 0;
    std::string outcome;  // what the service did, such as "stored" or "error"
    std::string item;     // short link of a stored item
    std::string errorId;
    std::string fault;    // the injected fault, if any
    std::uint64_t bodyBytes = 0;
    std::size_t accountedBytes = 0;  // memoryBytes() when the log took the record

    std::string toJson() const;
    // Bytes the record holds in memory, roughly: its texts and their containers.
    std::size_t memoryBytes() const;
};

class RequestLog {
public:
    std::uint64_t nextSeq() { return ++seq_; }
    void add(RequestRecord record);
    // Records with seq greater than `since`, in arrival order.
    std::string toJson(std::uint64_t since = 0) const;
    std::vector<RequestRecord> snapshot() const;
    // Forgets every record, and the records of requests that arrived before
    // and finish later: a test that resets sees nothing of an earlier test.
    void clear();

    // The oldest records go when either bound is passed; the newest record
    // is always kept.
    static constexpr std::size_t kMaxRecords = 10000;
    static constexpr std::size_t kMaxMemoryBytes = 64 * 1024 * 1024;
    std::size_t memoryBytes() const;

private:
    mutable std::mutex mutex_;
    std::deque<RequestRecord> records_;
    std::size_t memoryBytes_ = 0;
    std::atomic<std::uint64_t> seq_{0};
    std::uint64_t clearedThrough_ = 0;  // requests up to this seq are never recorded
};

}  // namespace devservice

// Writes one received file part to disk and computes its SHA-256 on a
// worker thread, so that hashing and disk writes overlap with receiving
// the next bytes from the network. Memory stays bounded: the receiving side
// waits when kMaxQueued blocks are still waiting for the worker.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace devservice {

class PartWriter {
public:
    // Bytes past writeLimit are hashed but not written.
    PartWriter(const std::filesystem::path& path, std::uint64_t writeLimit);
    ~PartWriter();
    PartWriter(const PartWriter&) = delete;
    PartWriter& operator=(const PartWriter&) = delete;

    // False once a disk write has failed.
    bool append(const char* bytes, std::size_t size);
    // Writes what is left, closes the file and returns the SHA-256; false
    // in ok when any write failed.
    std::string finish(bool& ok);

    static constexpr std::size_t kBlockSize = 1 << 20;
    static constexpr std::size_t kMaxQueued = 4;

private:
    struct Block {
        std::unique_ptr<char[]> bytes{new char[kBlockSize]};
        std::size_t size = 0;
        std::size_t writeSize = 0;
    };
    void submit();
    void work();

    int fd_ = -1;
    std::uint64_t limit_;
    std::uint64_t taken_ = 0;
    std::unique_ptr<Block> current_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Block>> queued_;
    std::vector<std::unique_ptr<Block>> spare_;
    bool closing_ = false;
    bool failed_ = false;
    std::string sha256_;
    std::thread worker_;
};

}  // namespace devservice

// The write-and-hash pipeline of one file part; see PartWriter.h.
#include "PartWriter.h"

#include "Digest.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace devservice {

PartWriter::PartWriter(const std::filesystem::path& path, std::uint64_t writeLimit)
    : limit_(writeLimit), current_(std::make_unique<Block>()) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    failed_ = fd_ < 0;
    worker_ = std::thread([this] { work(); });
}

PartWriter::~PartWriter() {
    bool ok;
    finish(ok);
}

bool PartWriter::append(const char* bytes, std::size_t size) {
    while (size) {
        const std::size_t n = std::min(size, kBlockSize - current_->size);
        std::memcpy(current_->bytes.get() + current_->size, bytes, n);
        current_->size += n;
        bytes += n;
        size -= n;
        if (current_->size == kBlockSize)
            submit();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return !failed_;
}

void PartWriter::submit() {
    const std::uint64_t room = taken_ < limit_ ? limit_ - taken_ : 0;
    current_->writeSize = static_cast<std::size_t>(std::min<std::uint64_t>(current_->size, room));
    taken_ += current_->size;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queued_.size() < kMaxQueued; });
    queued_.push_back(std::move(current_));
    if (!spare_.empty()) {
        current_ = std::move(spare_.back());
        spare_.pop_back();
    } else {
        lock.unlock();
        current_ = std::make_unique<Block>();
    }
    changed_.notify_all();
}

void PartWriter::work() {
    Sha256Stream hash;
    for (;;) {
        std::unique_ptr<Block> block;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !queued_.empty() || closing_; });
            if (queued_.empty())
                break;
            block = std::move(queued_.front());
            queued_.pop_front();
        }
        hash.update(block->bytes.get(), block->size);
        bool ok = true;
        for (std::size_t done = 0; ok && done < block->writeSize;) {
            const ssize_t n = ::write(fd_, block->bytes.get() + done, block->writeSize - done);
            ok = n > 0;
            done += ok ? static_cast<std::size_t>(n) : 0;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        failed_ = failed_ || !ok;
        block->size = 0;
        spare_.push_back(std::move(block));
        changed_.notify_all();
    }
    sha256_ = hash.hex();
}

std::string PartWriter::finish(bool& ok) {
    if (worker_.joinable()) {
        if (current_ && current_->size)
            submit();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        worker_.join();
        if (fd_ >= 0 && ::close(fd_) != 0)
            failed_ = true;
        fd_ = -1;
    }
    ok = !failed_;
    return sha256_;
}

}  // namespace devservice

// The request-limiting server of the development service; see GuardedServer.h.
#include "GuardedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

namespace devservice {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;
// After a refusal the rest of the request is read and dropped for a while, so
// that the client is not reset before it can read the answer.
constexpr std::uint64_t kMaxDrainBytes = 64ull * 1024 * 1024;
constexpr auto kMaxDrainTime = std::chrono::seconds(2);

std::string addressText(const sockaddr_storage& address, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    port = 0;
    if (address.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
        port = ntohs(in.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& in = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &in.sin6_addr, text, sizeof text);
        port = ntohs(in.sin6_port);
    }
    return text;
}

bool waitFor(int sock, short events, int timeoutMs) {
    pollfd one{sock, events, 0};
    return ::poll(&one, 1, timeoutMs) > 0;
}

// Follows the bytes of one request head: where it ends, what it asks for,
// and whether it stays inside the limits.
class HeadTracker {
public:
    enum class State { Head, Body, HeadTooLarge };

    explicit HeadTracker(const RequestLimits& limits) : limits_(limits) {}

    void reset() {
        state_ = State::Head;
        bytes_ = lines_ = lineLength_ = 0;
        lineEndsInCr_ = false;
        firstLine_.clear();
        method_.clear();
        path_.clear();
    }

    State feed(char byte) {
        if (state_ != State::Head)
            return state_;
        if (++bytes_ > limits_.maxHeadBytes) {
            state_ = State::HeadTooLarge;
            return state_;
        }
        if (lines_ == 0 && byte != '\r' && byte != '\n')
            firstLine_ += byte;  // bounded by maxHeadBytes
        ++lineLength_;
        if (byte != '\n') {
            lineEndsInCr_ = byte == '\r';
            return state_;
        }
        // A line of exactly CR LF after the request line ends the head.
        const bool blank = lineLength_ == 2 && lineEndsInCr_;
        lineLength_ = 0;
        lineEndsInCr_ = false;
        if (blank && lines_ > 0) {
            state_ = State::Body;
            parseFirstLine();
        } else if (++lines_ > limits_.maxHeaderLines + 1) {
            state_ = State::HeadTooLarge;
        }
        return state_;
    }

    State state() const { return state_; }
    const std::string& method() const { return method_; }
    const std::string& path() const { return path_; }

private:
    void parseFirstLine() {
        const auto space = firstLine_.find(' ');
        method_ = firstLine_.substr(0, space);
        if (space == std::string::npos)
            return;
        const std::string target = firstLine_.substr(space + 1, firstLine_.find(' ', space + 1) - space - 1);
        path_ = target.substr(0, target.find('?'));
    }

    const RequestLimits& limits_;
    State state_ = State::Head;
    std::size_t bytes_ = 0;
    std::size_t lines_ = 0;
    std::size_t lineLength_ = 0;
    bool lineEndsInCr_ = false;
    std::string firstLine_;
    std::string method_;
    std::string path_;
};

// A socket stream that counts what each request sends and, once a limit is
// passed, answers the refusal itself and ends the request: later reads see
// the end of the stream and the server's own answer is dropped.
class GuardedStream : public httplib::Stream {
public:
    GuardedStream(int sock, const RequestLimits& limits, time_t readTimeout, time_t writeTimeout)
        : sock_(sock), limits_(limits), head_(limits), readTimeoutMs_(static_cast<int>(readTimeout * 1000)),
          writeTimeoutMs_(static_cast<int>(writeTimeout * 1000)), buffer_(new char[kBufferSize]) {}

    void beginRequest() {
        head_.reset();
        bodyBytes_ = 0;
        maxBody_ = 0;
    }
    bool refused() const { return refused_; }

    // True when a request starts (or the peer closed) within the time,
    // checking now and then whether the server still runs.
    bool waitForRequest(time_t timeoutSec, const std::function<bool()>& running) const {
        if (begin_ < end_)
            return true;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSec);
        while (running() && std::chrono::steady_clock::now() < deadline)
            if (waitFor(sock_, POLLIN, 100))
                return true;
        return false;
    }

    // Reads and drops what the client still sends, within bounds.
    void drain() {
        ::shutdown(sock_, SHUT_WR);
        const auto deadline = std::chrono::steady_clock::now() + kMaxDrainTime;
        std::uint64_t dropped = 0;
        while (dropped < kMaxDrainBytes && std::chrono::steady_clock::now() < deadline && waitFor(sock_, POLLIN, 100)) {
            const ssize_t n = ::recv(sock_, buffer_.get(), kBufferSize, 0);
            if (n <= 0)
                break;
            dropped += static_cast<std::uint64_t>(n);
        }
    }

    bool is_readable() const override { return begin_ < end_ || waitFor(sock_, POLLIN, readTimeoutMs_); }
    bool is_writable() const override { return !refused_ && waitFor(sock_, POLLOUT, writeTimeoutMs_); }

    ssize_t read(char* ptr, size_t size) override {
        if (refused_)
            return 0;
        if (begin_ == end_) {
            if (!waitFor(sock_, POLLIN, readTimeoutMs_))
                return -1;
            const ssize_t n = ::recv(sock_, buffer_.get(), kBufferSize, 0);
            if (n <= 0)
                return n;
            begin_ = 0;
            end_ = static_cast<std::size_t>(n);
        }
        const std::size_t count = std::min(size, end_ - begin_);
        // The head is followed byte by byte; the body is only counted.
        std::size_t i = 0;
        for (; i < count && head_.state() == HeadTracker::State::Head; ++i) {
            if (!account(buffer_[begin_ + i]))
                return 0;
        }
        if (i < count && !countBody(count - i))
            return 0;
        std::memcpy(ptr, buffer_.get() + begin_, count);
        begin_ += count;
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (refused_)
            return static_cast<ssize_t>(size);  // the refusal was the answer
        return sendAll(ptr, size) ? static_cast<ssize_t>(size) : -1;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { endpoint(::getpeername, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { endpoint(::getsockname, ip, port); }
    socket_t socket() const override { return sock_; }

private:
    // Follows one byte of the request head; false once it passed a limit
    // (the refusal has then been sent).
    bool account(char byte) {
        const HeadTracker::State after = head_.feed(byte);
        if (after == HeadTracker::State::HeadTooLarge) {
            refuse("431 Request Header Fields Too Large", "Request header fields too large\n");
            return false;
        }
        if (after == HeadTracker::State::Body)
            maxBody_ = limits_.maxBody ? limits_.maxBody(head_.method(), head_.path()) : UINT64_MAX;
        return true;
    }

    bool countBody(std::size_t bytes) {
        bodyBytes_ += bytes;
        if (bodyBytes_ <= maxBody_)
            return true;
        refuse("413 Payload Too Large", "Request body too large\n");
        return false;
    }

    void endpoint(int (*query)(int, sockaddr*, socklen_t*), std::string& ip, int& port) const {
        sockaddr_storage address{};
        socklen_t size = sizeof address;
        port = 0;
        if (query(sock_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            ip = addressText(address, port);
    }

    bool sendAll(const char* ptr, std::size_t size) {
        while (size > 0) {
            if (!waitFor(sock_, POLLOUT, writeTimeoutMs_))
                return false;
            const ssize_t n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            ptr += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    void refuse(const std::string& status, const std::string& text) {
        const std::string answer = "HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                                   std::to_string(text.size()) + "\r\nConnection: close\r\n\r\n" + text;
        sendAll(answer.data(), answer.size());
        refused_ = true;
    }

    int sock_;
    const RequestLimits& limits_;
    HeadTracker head_;
    std::uint64_t bodyBytes_ = 0;
    std::uint64_t maxBody_ = 0;
    bool refused_ = false;
    int readTimeoutMs_;
    int writeTimeoutMs_;
    std::unique_ptr<char[]> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

}  // namespace

bool GuardedServer::process_and_close_socket(socket_t sock) {
    GuardedStream stream(sock, limits_, read_timeout_sec_, write_timeout_sec_);
    auto running = [this] { return svr_sock_ != INVALID_SOCKET; };
    bool ok = false;
    for (std::size_t left = keep_alive_max_count_; left > 0 && running(); --left) {
        if (!stream.waitForRequest(keep_alive_timeout_sec_, running))
            break;
        stream.beginRequest();
        bool closed = false;
        ok = process_request(stream, left == 1, closed, nullptr);
        if (stream.refused()) {
            stream.drain();
            break;
        }
        if (!ok || closed)
            break;
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return ok;
}

}  // namespace devservice

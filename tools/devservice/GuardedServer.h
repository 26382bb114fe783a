// The HTTP server of the development service with limits on what one request
// may make it hold: the request head (line count and bytes, answered 431) and
// the body as it comes over the wire, however it is framed (Content-Length or
// chunked, answered 413). The server library keeps a whole head in memory and
// reads a page post's chunked body into memory without a cap, so the limits
// are applied to the bytes as they are read from the socket.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <functional>
#include <string>

namespace devservice {

struct RequestLimits {
    std::size_t maxHeadBytes = 64 * 1024;  // request line and all header lines
    std::size_t maxHeaderLines = 128;
    // Most body bytes (as sent, with any chunk framing) for a method and path.
    std::function<std::uint64_t(const std::string& method, const std::string& path)> maxBody;
};

class GuardedServer : public httplib::Server {
public:
    explicit GuardedServer(RequestLimits limits) : limits_(std::move(limits)) {}

private:
    bool process_and_close_socket(socket_t sock) override;

    RequestLimits limits_;
};

}  // namespace devservice

// A tiny HTTP server on 127.0.0.1 inside the test process: it answers each
// connection with the next scripted response and records the request it read.
// For tests of the HTTP clients that need exact control over the answer.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vptest {

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();

    // Raw bytes to send for the next connection, in order; when the script runs
    // out the server answers 500.
    void AddResponse(const std::string& raw);
    static std::string Response(int status, const std::string& body, const std::string& extraHeaders = "");

    unsigned short Port() const { return port_; }
    std::wstring Url(const std::wstring& path) const;
    // Requests received so far (headers and body as read).
    std::vector<std::string> Requests() const;

private:
    void Serve();

    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> responses_;
    std::vector<std::string> requests_;
    bool stopping_ = false;
};

}  // namespace vptest

// In-process loopback HTTP server for client tests (see the header).
#include "support/LoopbackServer.h"

#include <ws2tcpip.h>

#include <cstdlib>

namespace vptest {
namespace {

struct WinsockUser {
    WinsockUser()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockUser() { WSACleanup(); }
};

// Reads one request: the header block and as many body bytes as Content-Length says.
std::string ReadRequest(SOCKET s)
{
    std::string data;
    char buffer[4096];
    size_t headerEnd = std::string::npos;
    size_t wanted = 0;
    for (;;) {
        if (headerEnd == std::string::npos) {
            headerEnd = data.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                std::string lower = data.substr(0, headerEnd);
                for (auto& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
                size_t at = lower.find("content-length:");
                size_t length = at == std::string::npos ? 0 : std::strtoul(lower.c_str() + at + 15, nullptr, 10);
                wanted = headerEnd + 4 + length;
            }
        }
        if (headerEnd != std::string::npos && data.size() >= wanted) break;
        int n = recv(s, buffer, sizeof(buffer), 0);
        if (n <= 0) break;
        data.append(buffer, n);
    }
    return data;
}

}  // namespace

LoopbackServer::LoopbackServer()
{
    static WinsockUser winsock;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    listen(listener_, 8);
    int length = sizeof(address);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    closesocket(listener_);
    if (thread_.joinable()) thread_.join();
}

void LoopbackServer::AddResponse(const std::string& raw)
{
    std::lock_guard<std::mutex> lock(mutex_);
    responses_.push_back(raw);
}

std::string LoopbackServer::Response(int status, const std::string& body, const std::string& extraHeaders)
{
    return "HTTP/1.1 " + std::to_string(status) + " Status\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
}

std::wstring LoopbackServer::Url(const std::wstring& path) const
{
    return L"http://127.0.0.1:" + std::to_wstring(port_) + path;
}

std::vector<std::string> LoopbackServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void LoopbackServer::Serve()
{
    size_t next = 0;
    for (;;) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        std::string request = ReadRequest(client);
        std::string response;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) {
                closesocket(client);
                return;
            }
            requests_.push_back(request);
            response = next < responses_.size() ? responses_[next++] : Response(500, "no scripted answer");
        }
        send(client, response.data(), static_cast<int>(response.size()), 0);
        shutdown(client, SD_SEND);
        closesocket(client);
    }
}

}  // namespace vptest

// The service survives hostile requests: floods of header lines, huge header
// lines and bodies too large however they are framed are refused while they
// arrive, so the process's peak memory stays low (the figure is printed);
// the request record stays bounded; a transload never fetches the service's
// own inspection pages.
#include "FormReceiver.h"
#include "ServiceFixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace devservice::test {
namespace {

// Peak resident memory of this process in KiB (VmHWM).
long peakMemoryKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Sends the request a piece at a time, as a client that stops sending once
// an answer arrives, and returns what the service answered.
std::string exchange(int port, const std::string& head, const std::string& piece, std::size_t pieces) {
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(sock);
        return "<no connection>";
    }
    auto sendAll = [&](const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size();) {
            const ssize_t n = ::send(sock, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            at += static_cast<std::size_t>(n);
        }
        return true;
    };
    pollfd answer{sock, POLLIN, 0};
    bool sending = sendAll(head);
    for (std::size_t i = 0; sending && i < pieces && ::poll(&answer, 1, 0) == 0; ++i)
        sending = sendAll(piece);
    std::string reply;
    char buffer[4096];
    while (::poll(&answer, 1, 5000) > 0) {
        const ssize_t n = ::recv(sock, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(sock);
    return reply;
}

std::string statusLine(const std::string& reply) { return reply.substr(0, reply.find("\r\n")); }

class LimitTest : public ServiceTest {};

TEST_F(LimitTest, OversizedRequestsAreRefusedWhileTheyArriveAndMemoryStaysLow) {
    const long before = peakMemoryKb();
    const std::string chunk = "100000\r\n" + std::string(0x100000, 'x') + "\r\n";  // 1 MiB per chunk
    const std::string part = "--B\r\nContent-Disposition: form-data; name=\"fileupload\"; filename=\"a.jpg\"\r\n\r\n";
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", part.size());
    const std::string opening = size + part + "\r\n";

    // 200,000 header lines; one header line of 1 MiB.
    EXPECT_EQ("HTTP/1.1 431 Request Header Fields Too Large",
              statusLine(exchange(port_, "GET / HTTP/1.1\r\nHost: a\r\n", "X-Pad: 0123456789\r\n", 200000)));
    EXPECT_EQ("HTTP/1.1 431 Request Header Fields Too Large",
              statusLine(exchange(port_, "GET / HTTP/1.1\r\nHost: a\r\nX-Long: ", std::string(0x10000, 'y'), 16)));
    // A chunked page post of 100 MiB, and a chunked upload beyond the file limit.
    EXPECT_EQ("HTTP/1.1 413 Payload Too Large",
              statusLine(exchange(port_, "POST /toolbar/pictures.php HTTP/1.1\r\nHost: a\r\n"
                                         "Content-Type: application/x-www-form-urlencoded\r\n"
                                         "Transfer-Encoding: chunked\r\n\r\n",
                                  chunk, 100)));
    ASSERT_EQ(200, client().Post("/__devservice/config?max_file_size=1000")->status);
    EXPECT_EQ("HTTP/1.1 413 Payload Too Large",
              statusLine(exchange(port_, "POST /upload_api.php HTTP/1.1\r\nHost: a\r\n"
                                         "Content-Type: multipart/form-data, boundary=B\r\n"
                                         "Transfer-Encoding: chunked\r\n\r\n" + opening,
                                  chunk, 100)));

    const long growth = peakMemoryKb() - before;
    std::printf("peak memory growth under the floods: %ld KiB\n", growth);
    RecordProperty("peak_memory_growth_kib", static_cast<int>(growth));
    EXPECT_LT(growth, 48 * 1024);

    // The service still answers, and ordinary requests within the limits pass.
    auto page = client().Post("/toolbar/pictures.php", "id[]=1&public[]=yes", "application/x-www-form-urlencoded");
    ASSERT_TRUE(page);
    EXPECT_EQ(200, page->status);
    auto fits = upload({filePart("fileupload", std::string(1000, 'x'), "fits.jpg")});
    ASSERT_TRUE(fits);
    EXPECT_FALSE(xmlElement(fits->body, "image_link").empty()) << fits->body;
}

TEST_F(LimitTest, RecordKeepsAtMostAFixedNumberOfPartsAndBytes) {
    std::vector<FormPart> parts;
    for (int i = 0; i < 300; ++i)
        parts.push_back(field("f" + std::to_string(i), "v"));
    parts.push_back(filePart("fileupload", "late file", "late.jpg"));
    ASSERT_TRUE(upload(parts));
    const auto snapshot = service_->requestLog().snapshot();
    ASSERT_EQ(1u, snapshot.size());
    EXPECT_EQ(FormReceiver::kMaxParts, snapshot[0].fields.size());
    EXPECT_TRUE(service_->store().items().empty()) << "parts past the limit are dropped";

    // Records of 4 MiB each: the oldest go once the bound is passed.
    RequestLog log;
    for (int i = 0; i < 24; ++i) {
        RequestRecord record;
        record.seq = log.nextSeq();
        FieldRecord field;
        field.name = "f";
        field.value = std::string(FieldRecord::kMaxFieldValue, 'v');
        record.fields.assign(64, field);
        log.add(std::move(record));
    }
    const auto kept = log.snapshot();
    EXPECT_LE(log.memoryBytes(), RequestLog::kMaxMemoryBytes);
    ASSERT_FALSE(kept.empty());
    EXPECT_LT(kept.size(), 24u);
    EXPECT_EQ(24u, kept.back().seq) << "the newest record stays";
}

TEST_F(LimitTest, TransloadNeverFetchesTheInspectionPages) {
    const std::string local = "http://127.0.0.1:" + std::to_string(port_);
    for (const std::string path : {"/__devservice/requests", "/%5F%5Fdevservice/config"}) {
        auto res = upload({field("url", local + path)});
        ASSERT_TRUE(res);
        EXPECT_EQ("resource_not_found", xmlErrorId(res->body)) << path << "\n" << res->body;
    }
    EXPECT_TRUE(service_->store().items().empty());
}

}  // namespace
}  // namespace devservice::test

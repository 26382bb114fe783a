// Test support; see ServiceFixture.h.
#include "ServiceFixture.h"

#include <chrono>
#include <random>

namespace devservice::test {

std::string toolbarBody(const std::string& boundary, const std::vector<FormPart>& parts) {
    const std::string closing = "--" + boundary + "--\r\n";
    std::string body = closing;
    for (const FormPart& part : parts) {
        body.resize(body.size() - 4);
        body += "\r\nContent-Disposition: form-data; name=\"" + part.name + "\"";
        if (!part.fileName.empty())
            body += "; filename=\"" + part.fileName + "\"\r\nContent-Type: " + part.contentType +
                    "\r\nContent-Transfer-Encoding: binary";
        body += "\r\n\r\n" + part.value + "\r\n" + closing;
    }
    return body;
}

std::string trickyBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string out;
    static const std::string pieces[] = {"\r\n", "--", "\r\n--B-O-U-N-D-A-R-Y", std::string(1, '\0'), "\r\n\r\n"};
    while (out.size() < size) {
        if (random() % 8 == 0)
            out += pieces[random() % 5];
        else
            out += static_cast<char>(random() & 0xff);
    }
    out.resize(size);
    return out;
}

std::string xmlElement(const std::string& xml, const std::string& name) {
    const auto open = xml.find("<" + name + ">");
    const auto close = xml.find("</" + name + ">");
    if (open == std::string::npos || close == std::string::npos)
        return "";
    std::string text = xml.substr(open + name.size() + 2, close - open - name.size() - 2);
    for (auto [entity, plain] : {std::pair<std::string, std::string>{"&quot;", "\""}, {"&#39;", "'"}, {"&lt;", "<"},
                                 {"&gt;", ">"}, {"&amp;", "&"}})
        for (std::size_t at; (at = text.find(entity)) != std::string::npos;)
            text.replace(at, entity.size(), plain);
    return text;
}

std::string xmlErrorId(const std::string& xml) {
    const std::string marker = "<error id=\"";
    const auto at = xml.find(marker);
    if (at == std::string::npos)
        return "";
    return xml.substr(at + marker.size(), xml.find('"', at + marker.size()) - at - marker.size());
}

std::string pathOf(const std::string& link) {
    const auto scheme = link.find("://");
    return link.substr(link.find('/', scheme == std::string::npos ? 0 : scheme + 3));
}

void ServiceTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dataDir_ = std::filesystem::temp_directory_path() /
               ("devservice-test-" + std::to_string(::getpid()) + "-" + info->name());
    std::filesystem::remove_all(dataDir_);
    ServiceConfig config;
    config.dataDir = dataDir_;
    config.quiet = true;
    service_ = std::make_unique<DevService>(config);
    port_ = service_->bind("127.0.0.1", 0);
    ASSERT_GT(port_, 0);
    thread_ = std::thread([this] { service_->run(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!service_->isRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(service_->isRunning());
}

void ServiceTest::TearDown() {
    if (service_)
        service_->stop();
    if (thread_.joinable())
        thread_.join();
    service_.reset();
    std::filesystem::remove_all(dataDir_);
}

httplib::Client ServiceTest::client() const {
    httplib::Client c("127.0.0.1", port_);
    c.set_read_timeout(30);
    c.set_write_timeout(30);
    return c;
}

httplib::Result ServiceTest::upload(const std::vector<FormPart>& parts, const std::string& boundary) {
    return client().Post("/upload_api.php", toolbarBody(boundary, parts), ("multipart/form-data, boundary=" + boundary).c_str());
}

void ServiceTest::armFault(const std::string& params) {
    auto res = client().Post(("/__devservice/faults?" + params).c_str());
    ASSERT_TRUE(res);
    ASSERT_EQ(200, res->status) << res->body;
}

std::string ServiceTest::records() {
    auto res = client().Get("/__devservice/requests");
    return res ? res->body : "";
}

std::string ServiceTest::get(const std::string& path) {
    auto res = client().Get(path.c_str());
    if (!res)
        return "<no answer>";
    if (res->status != 200)
        return "<status " + std::to_string(res->status) + ">";
    return res->body;
}

}  // namespace devservice::test

// Test support: a development service running in this process on a free
// port with its own temporary data folder, an HTTP client for it, and the
// request body exactly as the toolbar builds it (comma header form).
#pragma once

#include "DevService.h"

#include <httplib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace devservice::test {

struct FormPart {
    std::string name;
    std::string value;  // text, or the file's bytes
    std::string fileName;  // not empty: a file part
    std::string contentType = "application/octet-stream";
};

inline FormPart field(const std::string& name, const std::string& value) { return {name, value, "", ""}; }
inline FormPart filePart(const std::string& name, const std::string& bytes, const std::string& fileName,
                         const std::string& type = "image/jpeg") {
    return {name, bytes, fileName, type};
}

// The body the toolbar's request builder produces for these parts.
std::string toolbarBody(const std::string& boundary, const std::vector<FormPart>& parts);

// Bytes that look like multipart syntax, CR LF and NUL, to catch any
// damage by the multipart reader.
std::string trickyBytes(std::size_t size, unsigned seed);

// Text of the first element <name>...</name> with the five XML entities
// resolved; empty when absent.
std::string xmlElement(const std::string& xml, const std::string& name);
std::string xmlErrorId(const std::string& xml);
// The path of a link ("http://host/a/b" gives "/a/b").
std::string pathOf(const std::string& link);

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    httplib::Client client() const;
    // Posts a toolbar-format upload with the comma header form.
    httplib::Result upload(const std::vector<FormPart>& parts, const std::string& boundary = "B-O-U-N-D-A-R-Y123456789");
    // Arms a fault over the inspection interface, such as "status=503".
    void armFault(const std::string& params);
    std::string records();
    std::string get(const std::string& path);

    std::filesystem::path dataDir_;
    std::unique_ptr<DevService> service_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace devservice::test

// Transloads: the service fetches a picture by its address. The development
// service only ever fetches from this machine (127.0.0.1 or localhost over
// plain HTTP), and never its own inspection pages (/__devservice/...); any
// other address is answered "resource_not_found" without touching the network.
#pragma once

#include "MediaStore.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace devservice {

struct LocalAddress {
    std::string host;
    int port = 80;
    std::string target;  // path and query, at least "/"
};

// The parts of an address the service may fetch; nothing for any other.
std::optional<LocalAddress> parseLocalAddress(const std::string& url);

struct TransloadResult {
    std::string errorId;  // empty on success
    std::string errorText;
    std::filesystem::path file;  // the fetched bytes (a temporary file)
    std::string name;            // file name taken from the address
    std::uint64_t size = 0;
    std::string sha256;
};

TransloadResult transload(const std::string& url, MediaStore& store, std::uint64_t maxSize);

}  // namespace devservice

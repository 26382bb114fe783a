// Settings of one development service instance and the service's host
// names, from which every link it hands out is built.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace devservice {

struct ServiceConfig {
    std::filesystem::path dataDir = "devservice-data";
    // Uploads larger than this are answered with error id "file_too_big".
    std::uint64_t maxFileSize = 100ull * 1024 * 1024;
    // The update document (/update.xml).
    std::string updateVersion = "4.8.3.75";
    std::string updateLink = "http://www.vellumpost.com/toolbar/download.php";
    // The bare domain; the other hosts are derived from it.
    std::string domain = "vellumpost.com";
    // When not empty, links use this base (such as "http://127.0.0.1:8080")
    // instead of the service's host names.
    std::string linkBase;
    bool quiet = false;
};

// Bases ("http://host") of the service's hosts for links.
struct ServiceHosts {
    explicit ServiceHosts(const ServiceConfig& config);
    std::string bare;     // short links, stored files
    std::string main;     // www.: pages of a file, done page, home
    std::string video;    // video.: stored videos and their player
    std::string account;  // my.: the user's pages
    std::string profile;  // profile.: login, logout, search
    std::string load(int n) const;  // load1. .. load10.

private:
    std::string domain_;
    std::string linkBase_;
};

}  // namespace devservice

// Fetching a transloaded picture from this machine; see Transload.h.
#include "Transload.h"

#include "DevService.h"
#include "Digest.h"
#include "Text.h"

#include <httplib.h>

#include <cctype>
#include <cstdio>

namespace devservice {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The path as the server routes it (escapes decoded once) names one of the
// service's own inspection pages: the record, the faults, the settings.
bool isInspectionTarget(const std::string& target) {
    const std::string path = target.substr(0, target.find('?'));
    std::string decoded;
    for (std::size_t at = 0; at < path.size(); ++at) {
        if (path[at] == '%' && at + 2 < path.size() && hexDigit(path[at + 1]) >= 0 && hexDigit(path[at + 2]) >= 0) {
            decoded += static_cast<char>(hexDigit(path[at + 1]) * 16 + hexDigit(path[at + 2]));
            at += 2;
        } else {
            decoded += path[at];
        }
    }
    return toLower(decoded).find(toLower(DevService::kInspectPrefix)) != std::string::npos;
}

}  // namespace

std::optional<LocalAddress> parseLocalAddress(const std::string& url) {
    if (!startsWithNoCase(url, "http://"))
        return std::nullopt;
    const std::string rest = url.substr(7);
    const auto slash = rest.find_first_of("/?#");
    const std::string authority = rest.substr(0, slash);
    if (authority.find('@') != std::string::npos)
        return std::nullopt;  // user information could hide another host
    LocalAddress address;
    const auto colon = authority.rfind(':');
    address.host = toLower(authority.substr(0, colon));
    if (colon != std::string::npos) {
        const std::string port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        address.port = std::stoi(port);
        if (address.port < 1 || address.port > 65535)
            return std::nullopt;
    }
    if (address.host != "127.0.0.1" && address.host != "localhost")
        return std::nullopt;
    address.target = slash == std::string::npos ? "/" : rest.substr(slash);
    if (address.target[0] != '/')
        address.target = "/" + address.target;
    address.target = address.target.substr(0, address.target.find('#'));
    if (address.target.empty())
        address.target = "/";
    if (isInspectionTarget(address.target))
        return std::nullopt;
    return address;
}

TransloadResult transload(const std::string& url, MediaStore& store, std::uint64_t maxSize) {
    TransloadResult result;
    const auto address = parseLocalAddress(url);
    if (!address) {
        result.errorId = "resource_not_found";
        result.errorText = "Source cannot be accessed: " + url;
        return result;
    }
    std::string path = address->target.substr(0, address->target.find('?'));
    result.name = storedFileName(path.substr(path.rfind('/') + 1));
    if (result.name == "file")
        result.name = "image.jpg";

    result.file = store.tempPath();
    std::FILE* out = std::fopen(result.file.c_str(), "wb");
    if (!out) {
        result.errorId = "transload_error";
        result.errorText = "Cannot store the fetched file";
        return result;
    }
    Sha256Stream hash;
    int status = 0;
    bool tooBig = false, writeFailed = false;
    httplib::Client client(address->host, address->port);
    client.set_connection_timeout(5);
    client.set_read_timeout(30);
    auto response = client.Get(
        address->target.c_str(),
        [&](const httplib::Response& r) {
            status = r.status;
            return r.status == 200;
        },
        [&](const char* data, std::size_t size) {
            result.size += size;
            if (result.size > maxSize) {
                tooBig = true;
                return false;
            }
            hash.update(data, size);
            if (std::fwrite(data, 1, size, out) != size) {
                writeFailed = true;
                return false;
            }
            return true;
        });
    std::fclose(out);
    result.sha256 = hash.hex();

    if (tooBig) {
        result.errorId = "file_too_big";
        result.errorText = "The file is larger than " + std::to_string(maxSize) + " bytes";
    } else if (status == 0 || status == 404 || status == 410) {
        result.errorId = "resource_not_found";
        result.errorText = status ? "The source answered " + std::to_string(status) + ": " + url
                                  : "Cannot connect to the source: " + httplib::to_string(response.error());
    } else if (status != 200 || !response || writeFailed) {
        result.errorId = "transload_error";
        result.errorText = "Error fetching " + url + " (status " + std::to_string(status) + ")";
    } else if (result.size == 0) {
        result.errorId = "transload_error";
        result.errorText = "The source sent no data: " + url;
    }
    if (!result.errorId.empty()) {
        std::error_code ec;
        std::filesystem::remove(result.file, ec);
    }
    return result;
}

}  // namespace devservice

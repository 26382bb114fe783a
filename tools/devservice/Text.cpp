// Escaping and naming helpers; see Text.h.
#include "Text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>

namespace devservice {

std::string xmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
std::size_t utf8Length(const std::string& text, std::size_t i) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2)
            return 0;
    if (n == 2 && b < 0xC2)
        return 0;  // overlong
    return n;
}

void appendCodePoint(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            ++i;
        } else if (std::size_t n = utf8Length(text, i)) {
            out.append(text, i, n);
            i += n;
        } else {
            appendCodePoint(out, c);  // Latin-1 reading of a stray byte
            ++i;
        }
    }
    out += '"';
    return out;
}

std::string toLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && toLower(text.substr(0, prefix.size())) == toLower(prefix);
}

std::vector<std::pair<std::string, std::string>> parseCookieHeader(const std::string& header) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t pos = 0;
    while (pos <= header.size()) {
        std::size_t end = header.find(';', pos);
        if (end == std::string::npos)
            end = header.size();
        std::string item = header.substr(pos, end - pos);
        const auto first = item.find_first_not_of(' ');
        if (first != std::string::npos) {
            item.erase(0, first);
            const auto eq = item.find('=');
            if (eq == std::string::npos)
                out.emplace_back(item, "");
            else
                out.emplace_back(item.substr(0, eq), item.substr(eq + 1));
        }
        pos = end + 1;
    }
    return out;
}

std::string storedFileName(const std::string& clientName) {
    std::string name = clientName.substr(clientName.find_last_of("/\\") + 1);
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (!(std::isalnum(u) && u < 0x80) && c != '.' && c != '-' && c != '_')
            c = '_';
    }
    name.erase(0, name.find_first_not_of('.'));
    if (name.empty())
        return "file";
    constexpr std::size_t kMax = 80;
    if (name.size() > kMax) {
        const auto dot = name.rfind('.');
        const std::string ext = dot != std::string::npos && name.size() - dot <= 10 ? name.substr(dot) : "";
        name = name.substr(0, kMax - ext.size()) + ext;
    }
    return name;
}

std::string extensionOf(const std::string& name) {
    const auto dot = name.rfind('.');
    const auto slash = name.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && slash > dot))
        return "";
    return toLower(name.substr(dot + 1));
}

bool isVideoName(const std::string& name) {
    static const char* const kVideo[] = {"flv", "mpg", "mpeg", "mpe", "avi", "3gp", "3g2", "mov", "mp4",
                                         "m4a", "mj2", "m4v", "wmv", "mjpeg", "vob", "ogg", "divx"};
    const std::string ext = extensionOf(name);
    return !ext.empty() && std::find(std::begin(kVideo), std::end(kVideo), ext) != std::end(kVideo);
}

std::string contentTypeFor(const std::string& name) {
    const std::string ext = extensionOf(name);
    if (ext == "jpg" || ext == "jpeg" || ext == "jpe")
        return "image/jpeg";
    if (ext == "png" || ext == "gif" || ext == "bmp")
        return "image/" + ext;
    if (ext == "tif" || ext == "tiff")
        return "image/tiff";
    if (ext == "swf")
        return "application/x-shockwave-flash";
    if (ext == "flv")
        return "video/x-flv";
    if (ext == "mp4" || ext == "m4v")
        return "video/mp4";
    return "application/octet-stream";
}

bool readInteger(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t& out) {
    if (text.empty() || text.size() > 18)
        return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end || value < low || value > high)
        return false;
    out = value;
    return true;
}

}  // namespace devservice

// Outbox record file format (see the header).
#include "engine/OutboxRecord.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/Md5.h"
#include "common/TextConvert.h"

namespace {

const char kHeader[] = "VellumpostOutbox 1\n";
const char kChecksumKey[] = "md5=";

// Values are one line each: "%", CR and LF are escaped as %XX.
bool AppendValue(std::string& out, const char* key, const std::string& value)
{
    out += key;
    out += '=';
    for (char c : value) {
        if (c == '\0') return false;
        if (c == '%' || c == '\r' || c == '\n') {
            char escaped[4];
            std::snprintf(escaped, sizeof(escaped), "%%%02X", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    out += '\n';
    return true;
}

bool AppendText(std::string& out, const char* key, const std::wstring& value)
{
    if (value.find(L'\0') != std::wstring::npos) return false;
    return AppendValue(out, key, Narrow(value, CP_UTF8));
}

bool Unescape(const std::string& value, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '%') {
            out += value[i];
            continue;
        }
        if (i + 2 >= value.size()) return false;
        char hex[3] = {value[i + 1], value[i + 2], 0};
        char* end = nullptr;
        long code = std::strtol(hex, &end, 16);
        if (end != hex + 2 || code == 0) return false;
        out += static_cast<char>(code);
        i += 2;
    }
    return true;
}

bool ParseNumber(const std::string& text, ULONGLONG& value)
{
    if (text.empty() || text.size() > 20) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        ULONGLONG next = value * 10 + static_cast<ULONGLONG>(c - '0');
        if (next / 10 != value) return false;
        value = next;
    }
    return true;
}

bool ParseSmall(const std::string& text, int& value, int limit)
{
    ULONGLONG number = 0;
    if (!ParseNumber(text, number) || number > static_cast<ULONGLONG>(limit)) return false;
    value = static_cast<int>(number);
    return true;
}

bool ParseFlag(const std::string& text, bool& value)
{
    if (text != "0" && text != "1") return false;
    value = text == "1";
    return true;
}

bool ParseWide(const std::string& text, std::wstring& value)
{
    value = Widen(text, CP_UTF8);
    return value.find(L'\0') == std::wstring::npos && (text.empty() || !value.empty());
}

// Members of one slideshow, and so places, beyond any the product makes.
const int kMaxSlideshowMembers = 10000;
const char kLinkKey[] = "link.";

bool AppendSlideshow(std::string& out, const OutboxSlideshow& show)
{
    bool ok = AppendText(out, "group", show.group) && AppendValue(out, "slot", std::to_string(show.slot)) &&
              AppendValue(out, "effect", show.effect) && AppendValue(out, "background", show.background) &&
              AppendValue(out, "showsize", show.size) && AppendValue(out, "showpublic", show.isPublic ? "1" : "0");
    for (const auto& link : show.links)
        ok = ok && AppendText(out, (kLinkKey + std::to_string(link.first)).c_str(), link.second);
    return ok;
}

// The slideshow keys; false for any other key. ok says whether the value was sound.
bool ParseSlideshowKey(const std::string& key, const std::string& value, OutboxSlideshow& show, bool& ok)
{
    if (key == "group") {
        ok = ParseWide(value, show.group) && IsOutboxId(show.group);
    } else if (key == "slot") {
        ok = ParseSmall(value, show.slot, kMaxSlideshowMembers);
    } else if (key == "effect") {
        show.effect = value;
    } else if (key == "background") {
        show.background = value;
    } else if (key == "showsize") {
        show.size = value;
    } else if (key == "showpublic") {
        ok = ParseFlag(value, show.isPublic);
    } else if (key.compare(0, sizeof(kLinkKey) - 1, kLinkKey) == 0) {
        int slot = 0;
        std::wstring link;
        ok = ParseSmall(key.substr(sizeof(kLinkKey) - 1), slot, kMaxSlideshowMembers) && ParseWide(value, link) &&
             !link.empty();
        show.links[slot] = link;
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool IsOutboxId(const std::wstring& id)
{
    return !id.empty() && id.size() < 64 &&
           std::all_of(id.begin(), id.end(), [](wchar_t c) { return iswxdigit(c) || c == L'-'; });
}

std::string SerializeOutboxRecord(const OutboxRecord& record)
{
    std::string out = kHeader;
    bool ok = AppendValue(out, "kind", std::to_string(static_cast<int>(record.kind))) &&
              AppendText(out, "path", record.path) &&
              AppendValue(out, "kept", record.keptCopy ? "1" : "0") && AppendText(out, "name", record.name) &&
              AppendValue(out, "optsize", record.optsize) && AppendValue(out, "tags", record.tags) &&
              AppendValue(out, "public", record.isPublic ? "1" : "0") &&
              AppendValue(out, "rembar", record.removeSizeBar ? "1" : "0") &&
              AppendValue(out, "statistics", std::to_string(record.statistics < 0 ? 0 : record.statistics)) &&
              AppendValue(out, "created", std::to_string(record.created)) &&
              AppendValue(out, "size", std::to_string(record.fileSize)) &&
              AppendValue(out, "time", std::to_string(record.fileTime)) &&
              AppendValue(out, "attempts", std::to_string(record.attempts < 0 ? 0 : record.attempts)) &&
              AppendText(out, "failure", record.lastFailure) &&
              AppendValue(out, "next", std::to_string(record.nextAttempt)) &&
              (record.kind != OutboxKind::SlideshowMember || AppendSlideshow(out, record.slideshow));
    if (!ok) return std::string();
    out += kChecksumKey + Md5::Hex(out) + "\n";
    if (out.size() > kMaxOutboxRecordBytes) return std::string();
    return out;
}

bool ParseOutboxRecord(const std::string& bytes, OutboxRecord& record)
{
    if (bytes.size() > kMaxOutboxRecordBytes || bytes.compare(0, sizeof(kHeader) - 1, kHeader) != 0) return false;
    if (bytes.find('\0') != std::string::npos) return false;
    // The checksum line is the last line and covers everything before it.
    if (bytes.size() < 2 || bytes.back() != '\n') return false;
    size_t last = bytes.rfind('\n', bytes.size() - 2);
    if (last == std::string::npos) return false;
    std::string body = bytes.substr(0, last + 1);
    std::string checkLine = bytes.substr(last + 1, bytes.size() - last - 2);
    if (checkLine != kChecksumKey + Md5::Hex(body)) return false;

    record = OutboxRecord();
    int seen = 0;
    size_t at = sizeof(kHeader) - 1;
    while (at < body.size()) {
        size_t end = body.find('\n', at);
        std::string line = body.substr(at, end - at);
        at = end + 1;
        size_t equals = line.find('=');
        if (equals == std::string::npos) return false;
        std::string key = line.substr(0, equals);
        std::string value;
        if (!Unescape(line.substr(equals + 1), value)) return false;
        ULONGLONG number = 0;
        int kind = 0;
        bool ok = true;
        if (key == "kind") {
            ok = ParseSmall(value, kind, static_cast<int>(OutboxKind::TagQueueItem));
            record.kind = static_cast<OutboxKind>(kind);
        } else if (key == "path") {
            ok = ParseWide(value, record.path) && !record.path.empty();
        } else if (key == "kept") {
            ok = ParseFlag(value, record.keptCopy);
        } else if (key == "name") {
            ok = ParseWide(value, record.name);
        } else if (key == "optsize") {
            record.optsize = value;
        } else if (key == "tags") {
            record.tags = value;
        } else if (key == "public") {
            ok = ParseFlag(value, record.isPublic);
        } else if (key == "rembar") {
            ok = ParseFlag(value, record.removeSizeBar);
        } else if (key == "statistics") {
            ok = ParseSmall(value, record.statistics, 0xFFFF);
        } else if (key == "attempts") {
            ok = ParseSmall(value, record.attempts, 1000000);
        } else if (key == "failure") {
            ok = ParseWide(value, record.lastFailure);
        } else if (key == "created" || key == "size" || key == "time" || key == "next") {
            ok = ParseNumber(value, number);
            if (key == "created") record.created = number;
            if (key == "size") record.fileSize = number;
            if (key == "time") record.fileTime = number;
            if (key == "next") record.nextAttempt = number;
        } else {
            // Slideshow keys, or a field of a later version; neither counts
            // towards the fields every record has.
            if (ParseSlideshowKey(key, value, record.slideshow, ok) && !ok) return false;
            continue;
        }
        if (!ok) return false;
        ++seen;
    }
    return seen >= 15 && !record.path.empty();
}

// A small JSON reader for tests (see the header).
#include "support/Json.h"

#include <cstdlib>

namespace vptest {

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : s_(text) {}

    bool Read(Json& out)
    {
        Skip();
        if (at_ >= s_.size()) return false;
        char c = s_[at_];
        if (c == '{') return ReadObject(out);
        if (c == '[') return ReadArray(out);
        if (c == '"') {
            out.kind_ = Json::Kind::String;
            return ReadString(out.text_);
        }
        if (s_.compare(at_, 4, "true") == 0) {
            out.kind_ = Json::Kind::Bool;
            out.flag_ = true;
            at_ += 4;
            return true;
        }
        if (s_.compare(at_, 5, "false") == 0) {
            out.kind_ = Json::Kind::Bool;
            at_ += 5;
            return true;
        }
        if (s_.compare(at_, 4, "null") == 0) {
            at_ += 4;
            return true;
        }
        char* end = nullptr;
        out.number_ = std::strtod(s_.c_str() + at_, &end);
        if (end == s_.c_str() + at_) return false;
        out.kind_ = Json::Kind::Number;
        at_ = static_cast<size_t>(end - s_.c_str());
        return true;
    }

    bool AtEnd()
    {
        Skip();
        return at_ == s_.size();
    }

private:
    void Skip()
    {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\r' || s_[at_] == '\t')) ++at_;
    }

    bool ReadString(std::string& out)
    {
        ++at_;  // opening quote
        while (at_ < s_.size()) {
            char c = s_[at_++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= s_.size()) return false;
            char e = s_[at_++];
            switch (e) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u': {
                if (at_ + 4 > s_.size()) return false;
                unsigned code = static_cast<unsigned>(std::strtoul(s_.substr(at_, 4).c_str(), nullptr, 16));
                at_ += 4;
                // UTF-8 for the code point (surrogate pairs are not joined; tests do not need them).
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
                break;
            }
            default: out += e; break;
            }
        }
        return false;
    }

    bool ReadArray(Json& out)
    {
        out.kind_ = Json::Kind::Array;
        ++at_;
        Skip();
        if (at_ < s_.size() && s_[at_] == ']') {
            ++at_;
            return true;
        }
        for (;;) {
            Json item;
            if (!Read(item)) return false;
            out.items_.push_back(std::move(item));
            Skip();
            if (at_ >= s_.size()) return false;
            if (s_[at_] == ',') {
                ++at_;
                continue;
            }
            if (s_[at_] == ']') {
                ++at_;
                return true;
            }
            return false;
        }
    }

    bool ReadObject(Json& out)
    {
        out.kind_ = Json::Kind::Object;
        ++at_;
        Skip();
        if (at_ < s_.size() && s_[at_] == '}') {
            ++at_;
            return true;
        }
        for (;;) {
            Skip();
            std::string key;
            if (at_ >= s_.size() || s_[at_] != '"' || !ReadString(key)) return false;
            Skip();
            if (at_ >= s_.size() || s_[at_++] != ':') return false;
            Json value;
            if (!Read(value)) return false;
            out.members_[key] = std::move(value);
            Skip();
            if (at_ >= s_.size()) return false;
            if (s_[at_] == ',') {
                ++at_;
                continue;
            }
            if (s_[at_] == '}') {
                ++at_;
                return true;
            }
            return false;
        }
    }

    const std::string& s_;
    size_t at_ = 0;
};

Json Json::Parse(const std::string& text, bool* ok)
{
    JsonReader reader(text);
    Json value;
    bool good = reader.Read(value) && reader.AtEnd();
    if (ok) *ok = good;
    return good ? value : Json();
}

const Json& Json::operator[](size_t index) const
{
    static const Json null;
    return index < items_.size() ? items_[index] : null;
}

const Json& Json::operator[](const std::string& key) const
{
    static const Json null;
    auto it = members_.find(key);
    return it == members_.end() ? null : it->second;
}

}  // namespace vptest

// A small JSON reader for tests that inspect the development service's
// request records. Values are read whole into a tree; malformed text gives a
// null value and a test failure at the call site.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vptest {

class Json {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    static Json Parse(const std::string& text, bool* ok = nullptr);

    Kind kind() const { return kind_; }
    bool IsNull() const { return kind_ == Kind::Null; }
    bool Bool() const { return flag_; }
    double Number() const { return number_; }
    const std::string& String() const { return text_; }
    size_t Size() const { return items_.size(); }
    const Json& operator[](size_t index) const;
    const Json& operator[](const std::string& key) const;
    bool Has(const std::string& key) const { return members_.count(key) != 0; }
    const std::vector<Json>& Items() const { return items_; }

private:
    Kind kind_ = Kind::Null;
    bool flag_ = false;
    double number_ = 0;
    std::string text_;
    std::vector<Json> items_;
    std::map<std::string, Json> members_;

    friend class JsonReader;
};

}  // namespace vptest

// The diagnostic log: one line per message, appended to a file shared by every
// thread and process of the product. Off unless the setting "log" is 1; the
// setting is read once, when the writer is constructed.
#pragma once

#include <string>

class LogWriter {
public:
    // category: the component's class name, or null for no category.
    explicit LogWriter(const char* category = nullptr);

    // Writes "<category>\t- <message><extra>\r\n"; nothing when both are
    // null, or when the log file is unknown (empty path). Never throws.
    void Write(const char* message, const char* extra = nullptr) const noexcept;
    // The wide text is converted with the thread's ANSI code page.
    void Write(const char* message, const wchar_t* wideExtra) const noexcept;
    // sprintf-style; the formatted text is cut at 511 characters.
    void Format(const char* format, ...) const noexcept __attribute__((format(printf, 2, 3)));

    bool Enabled() const { return enabled_; }
    const std::wstring& Path() const { return path_; }

    // The log file of this module in this process.
    static std::wstring DefaultPath();

private:
    char prefix_[64];
    bool enabled_;
    std::wstring path_;
};

// An object's address as log lines show it: "0x" and the hex digits of the full
// pointer width. Log lines write it with "%s" and c_str().
class LogAddress {
public:
    explicit LogAddress(const void* object);
    const char* c_str() const { return text_; }

private:
    char text_[2 + 2 * sizeof(void*) + 1];
};

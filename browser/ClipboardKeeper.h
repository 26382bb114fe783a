// What the clipboard held before the toolbar copies page pictures through it:
// the browser's "Copy" is the only way to read a shown picture's pixels, and
// the user's own copy (text, HTML, file lists, pictures) must survive it.
#pragma once

#include <windows.h>

#include <vector>

class ClipboardKeeper {
public:
    ClipboardKeeper() = default;
    ~ClipboardKeeper() { Restore(); }
    ClipboardKeeper(const ClipboardKeeper&) = delete;
    ClipboardKeeper& operator=(const ClipboardKeeper&) = delete;

    // Copies every format the clipboard holds in global memory. False when
    // the clipboard cannot be opened or its content cannot be kept whole (it
    // is then left alone, and nothing may be copied through it).
    bool Save();
    bool Saved() const { return saved_; }
    // Puts the kept formats back in place of whatever came since; an empty
    // clipboard is left empty. Does nothing unless Save succeeded, and runs once.
    void Restore() noexcept;

private:
    struct Format {
        UINT id;
        HGLOBAL memory;  // owned until handed to the clipboard
    };
    void FreeFormats() noexcept;

    std::vector<Format> formats_;
    bool saved_ = false;
};

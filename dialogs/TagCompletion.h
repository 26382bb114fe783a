// What the upload dialogs need from the tag auto-completion: bind it to the
// tags edit box, ask whether its suggestion list is open (Enter then accepts a
// suggestion instead of closing the dialog), and remember confirmed tags.
#pragma once

#include <windows.h>

#include <string>

class TagCompletion {
public:
    virtual ~TagCompletion() = default;
    virtual void Attach(HWND edit) = 0;
    virtual bool IsListOpen() const = 0;
    virtual void Remember(const std::wstring& tagsText) = 0;
};

// The optional outside resize library "FrameScaler.dll". When it is present in
// the toolbar library's folder, resizing tries it first; when it is missing,
// callers fall back to the platform imaging library.
//
// Its contract: export "FrameScaler", C calling convention,
//   int FrameScaler(const char* source, int width, int height, const char* destination);
// paths in the system code page; nonzero means it wrote the destination,
// scaled to fit width x height, in the format the destination extension names.
#pragma once

#include <windows.h>

#include <string>

#include "common/Locks.h"

class FrameScaler {
public:
    using ScaleFunction = int(__cdecl*)(const char* source, int width, int height, const char* destination);

    static constexpr const wchar_t* kLibraryName = L"FrameScaler.dll";
    static constexpr const char* kExportName = "FrameScaler";

    // The library in the given folder (with or without a trailing separator),
    // loaded on first use.
    explicit FrameScaler(std::wstring folder);
    ~FrameScaler();
    FrameScaler(const FrameScaler&) = delete;
    FrameScaler& operator=(const FrameScaler&) = delete;

    // The process-wide instance for the folder of the image this code is linked
    // into; it loads the library at most once and keeps it for the process.
    static FrameScaler& Shared();

    // True when the library and its export were found (loads on first call).
    bool IsAvailable();

    // Calls the library. False when it is missing, when a path cannot be
    // written in the system code page, or when the library reports failure.
    bool Scale(const std::wstring& source, int width, int height, const std::wstring& destination);

    const std::wstring& LibraryPath() const { return libraryPath_; }

private:
    ScaleFunction Function();

    CriticalSection lock_;
    std::wstring folder_;
    std::wstring libraryPath_;
    bool loadTried_ = false;
    HMODULE module_ = nullptr;
    ScaleFunction scale_ = nullptr;
};

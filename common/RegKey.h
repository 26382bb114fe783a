// Owner of one registry key handle.
#pragma once

#include <windows.h>

#include "common/Handle.h"

class RegKey : public THandle<HKEY> {
public:
    RegKey() = default;
    ~RegKey() override { Close(); }
    BOOL Close() override;
    // RegCreateKeyExW; on failure the key is closed.
    bool Create(HKEY parent, const wchar_t* subkey, wchar_t* keyClass = nullptr, DWORD options = 0,
                REGSAM access = KEY_ALL_ACCESS, LPSECURITY_ATTRIBUTES security = nullptr,
                DWORD* disposition = nullptr);
    // RegOpenKeyExW; on failure the key is closed.
    bool Open(HKEY parent, const wchar_t* subkey, REGSAM access = KEY_READ);
    bool IsValid() const override { return handle_ != nullptr; }
};

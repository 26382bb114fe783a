// The image (DLL or program) that the calling code is linked into. Every
// deliverable links the common code statically, so this names the toolbar
// library inside the library and the test program inside a test.
#pragma once

#include <windows.h>

#include <string>

// Instance handle of this image, from the linker's __ImageBase.
HINSTANCE ThisModule() noexcept;

// Full path of this image; empty on failure (GetLastError tells why).
std::wstring ThisModulePath();

// Folder of this image with a trailing backslash; empty on failure.
std::wstring ThisModuleFolder();

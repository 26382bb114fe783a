// The "file:///" address of a local path, shared by the upload engine and the
// Explorer extension, which hands such addresses to the toolbar library.
#pragma once

#include <string>

// A local path as a "file:///" address that the engine's FileUrlToPath turns
// back into the same path: "%" is escaped as "%25" and "\" becomes "/".
std::wstring PathToFileUrl(const std::wstring& path);

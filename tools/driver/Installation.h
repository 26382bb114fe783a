// Checks of an installed copy from outside, for the setup program's test: the
// registry says where each class of the toolbar library and the proxy server
// live, and the installed files carry this build's version.
#pragma once

#include <string>

// Prints the registration of every class of the toolbar's type library (this
// program carries it), the type library and the proxy server's class, and
// the version of each deliverable in folder. Returns 0 when all of them are
// registered to folder's files and every version is this build's, 2 when
// none of them is registered, 1 otherwise.
int CheckInstallation(const std::wstring& folder);

// Prints the file's version from its version resource; 0 when it is this
// build's version, 1 otherwise.
int CheckFileVersion(const std::wstring& file);

// Loads library and keeps it open, as a running browser would, from the
// creation of heldMarker until releaseMarker exists (at most five minutes).
int HoldLibrary(const std::wstring& library, const std::wstring& heldMarker, const std::wstring& releaseMarker);

// Names for the files that resizing, thumbnails and screenshots write: a base
// path in the user's temporary folder, to which the writer adds the extension.
#pragma once

#include <string>

// The user's temporary folder, then the source's file name without its
// extension ("img" when the source has no path separator), then a tick count
// in lower-case hexadecimal; cut to 255 characters. The count is taken from
// GetTickCount but never repeats within the process and skips values for
// which files named "<base>.*" already exist, so two outputs made in the same
// tick (a resized copy and its thumbnail) cannot overwrite each other.
std::wstring TemporaryBasePath(const std::wstring& source);

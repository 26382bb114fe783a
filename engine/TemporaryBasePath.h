// Names for the files that resizing, thumbnails and screenshots write: a base
// path in the user's temporary folder, to which the writer adds the extension.
#pragma once

#include <string>

// The user's temporary folder, then the source's file name without its
// extension ("img" when the source has no path separator), then a tick count
// in lower-case hexadecimal; at most 255 characters, the name being shortened
// so that the count is always whole. The count is taken from GetTickCount but
// never repeats within the process and skips values for which files named
// "<base>.*" already exist, so two outputs made in the same tick (a resized
// copy and its thumbnail) get different names. Another process may still pick
// the same base: the writers create their outputs only as new files.
std::wstring TemporaryBasePath(const std::wstring& source);

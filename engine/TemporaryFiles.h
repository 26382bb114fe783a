// Which files the upload may delete: only those that lie inside the user's
// temporary folder, judged on canonical full paths whole component by whole
// component, so that "<temp>\..\Documents\a.jpg" or "<temp>2\a.jpg" never
// count as temporary.
#pragma once

#include <string>

// True when path (a local path or a "file:///" address) resolves to a file
// inside folder (both compared as canonical full paths, ignoring case).
bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);
// The user's temporary folder without a trailing separator.
std::wstring UserTempFolder();
// Deletes path when it is not empty and lies in the user's temporary folder;
// returns true when a file was deleted.
bool RemoveTemporaryFile(const std::wstring& path);

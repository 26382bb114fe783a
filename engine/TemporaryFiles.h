// Which files an upload may delete: only files the product itself wrote into
// the user's temporary folder (resized copies, thumbnails, screen captures,
// local copies of page pictures). A picture of the user's own that happens to
// lie in the temporary folder is never deleted. Paths are judged as canonical
// full paths, whole component by whole component, so that
// "<temp>\..\Documents\a.jpg" or "<temp>2\a.jpg" never count as temporary.
#pragma once

#include <string>

// True when path (a local path or a "file:///" address) resolves to a file
// inside folder (both compared as canonical full paths, ignoring case).
bool IsInsideFolder(const std::wstring& path, const std::wstring& folder);
// The user's temporary folder without a trailing separator.
std::wstring UserTempFolder();
// Records that the product wrote path and may delete it once its upload is
// over. Paths outside the temporary folder are not recorded (false).
bool AdoptTemporaryFile(const std::wstring& path);
// True when the product wrote path (AdoptTemporaryFile) and has not deleted it.
bool IsAdoptedTemporaryFile(const std::wstring& path);
// Deletes path when the product wrote it (AdoptTemporaryFile) and it lies in
// the user's temporary folder; returns true when a file was deleted. Any
// other path, the user's own files among them, is left alone.
bool RemoveTemporaryFile(const std::wstring& path);

// The sample files the main job uploads, made by the driver itself so that
// the repository ships pictures and a clip of its own: a JPEG that carries an
// EXIF block, a PNG, and a tiny uncompressed AVI clip.
#pragma once

#include <string>

// Writes the samples into folder; 0 on success, prints what failed otherwise.
int MakeSamples(const std::wstring& folder);

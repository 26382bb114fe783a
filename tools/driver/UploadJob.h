// The main job's uploads through the registered toolbar library: the sample
// files, a transload of a picture the service serves, and a slideshow, each
// started on a new uploader object through its native entry points, waited
// for on this thread's message loop, and reported link style by link style;
// then the upload history as the registry holds it.
#pragma once

#include <string>

// 0 when every upload succeeded and reached the history.
int RunUploadJob(const std::wstring& samplesFolder);

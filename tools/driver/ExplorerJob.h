// The main job's Explorer road: the driver plays 64-bit Explorer. It creates
// the registered right-click extension, initialises it with the shell's data
// object of the sample files, fills a real popup menu, invokes "Upload Files
// To Vellumpost" and reports the links the toolbar library (in the proxy
// server's process) put in the history, and what the browser was asked to show.
#pragma once

#include <string>

// 0 when every sample reached the history through the proxy server.
// browserRecord: the file the browser double writes its calls to (may be empty).
int RunExplorerJob(const std::wstring& samplesFolder, const std::wstring& browserRecord);

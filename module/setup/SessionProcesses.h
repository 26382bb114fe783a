// Finding and ending running copies of a program by its file name, limited to
// the current user's session: the installer and the unregistration must never
// reach another user's processes.
#pragma once

#include <windows.h>

// Whether a process of this session (other than this one) runs the program
// named imageName ("IEXPLORE.EXE"; compared ignoring case).
bool SessionProcessRuns(const wchar_t* imageName);

// Ends every process of this session (other than this one) that runs
// imageName: each is given up to graceMs to end by itself, then terminated
// with exit code 0. A process is acted on only when, once opened, its own
// image still carries that name, so a process identifier reused since the
// snapshot is left alone. Returns how many processes were terminated.
int EndSessionProcesses(const wchar_t* imageName, DWORD graceMs);

// Whether processId is a process of this session, other than this one, that
// runs imageName (checked on the opened process, as above).
bool IsSessionProcessOf(DWORD processId, const wchar_t* imageName);

// Ends the process processId with exit code 0 when IsSessionProcessOf holds
// for it; returns whether it was ended.
bool EndSessionProcess(DWORD processId, const wchar_t* imageName);

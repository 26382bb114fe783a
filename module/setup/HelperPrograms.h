// The 64-bit deliverables (the context menu proxy server and the 64-bit
// Explorer extension) register and unregister themselves in their own
// processes; on 64-bit Windows the toolbar's registration starts them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

class LogWriter;

// Whether Windows is 64-bit: IsWow64Process, looked up by name in kernel32,
// answers for this process; a missing function or a failed call means no.
bool IsWindows64();
// Replaces the system's answer in tests; nullopt asks the system again.
void SetWindows64ForTests(std::optional<bool> answer);

struct HelperCommand {
    std::wstring application;  // full path of the program
    std::wstring commandLine;  // with the program's path quoted
};

// The commands, in the order they run, that register (or unregister) the 64-bit
// deliverables found in folder (with its trailing backslash); RUNDLL32 comes
// from systemFolder, the native system folder.
std::vector<HelperCommand> HelperCommands(const std::wstring& folder, const std::wstring& systemFolder,
                                          bool registering);

// The folder of the system's native programs as this process reaches it: a
// 32-bit process on 64-bit Windows would otherwise be redirected to the 32-bit
// copies, which cannot load a 64-bit library.
std::wstring NativeSystemFolder();

// Starts the command and waits for it at most waitMs, logging "Cannot
// execute: " when it does not start, else its exit code or that it still runs.
// Returns the exit code when the program ended in time.
std::optional<DWORD> RunHelper(const HelperCommand& command, DWORD waitMs, const LogWriter& log);

// On 64-bit Windows: runs the helper commands of this module's folder, and
// after unregistering ends a proxy server that is still running.
void RegisterHelperPrograms(bool registering, const LogWriter& log);

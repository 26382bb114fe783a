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

// Where this process finds the system's native programs: a 32-bit process on
// 64-bit Windows would otherwise be redirected to the 32-bit copies, which
// cannot load a 64-bit library.
struct NativeSystemFolder {
    std::wstring path;            // empty when unknown
    bool redirectionOff = false;  // the path holds the native programs only with redirection off
};

// The choice for a process (wow64: 32-bit on 64-bit Windows) that sees these
// folders: the "Sysnative" alias where the system has it (sysnativeSeen), else
// the system folder with file-system redirection turned off, since 64-bit
// Windows XP and Server 2003 lack the alias without an update.
NativeSystemFolder ChooseNativeSystemFolder(bool wow64, const std::wstring& windowsFolder,
                                            const std::wstring& systemFolder, bool sysnativeSeen);
// The choice for this process.
NativeSystemFolder NativeSystemFolderOfThisProcess();

struct HelperCommand {
    std::wstring application;     // full path of the program
    std::wstring commandLine;     // with the program's path quoted
    bool redirectionOff = false;  // started with file-system redirection turned off
};

// The commands, in the order they run, that register (or unregister) the 64-bit
// deliverables found in folder (with its trailing backslash); RUNDLL32 comes
// from the native system folder.
std::vector<HelperCommand> HelperCommands(const std::wstring& folder, const NativeSystemFolder& system,
                                          bool registering);

// Starts the command (with redirection off only around the start, when the
// command asks for it) and waits for it at most waitMs, logging "Cannot
// execute: " when it does not start, else its exit code or that it still runs.
// Returns the exit code when the program ended in time.
std::optional<DWORD> RunHelper(const HelperCommand& command, DWORD waitMs, const LogWriter& log);

// On 64-bit Windows: runs the helper commands of this module's folder, and
// after unregistering ends a proxy server that is still running.
void RegisterHelperPrograms(bool registering, const LogWriter& log);

// The proxy program's own logic: what its command line asks for, its class
// table and registration, stopping a running copy, and serving COM clients
// until it has been idle for a while.
#pragma once

#include <windows.h>

#include <string>

class ComModule;

enum class ProxyCommand { Serve, RegServer, UnregServer, ShutDown };

// The first token that begins with "-" or "/" and names an option (without
// regard to case) decides; any other command line, such as the "-Embedding"
// COM starts the program with, means serve.
ProxyCommand ParseProxyCommandLine(const wchar_t* commandLine);
// Whether the command line also holds the option "Force" (a stop that does not
// wait for the work in progress; for the setup's uninstall).
bool ProxyCommandLineForces(const wchar_t* commandLine);

// Decides when an idle server ends: after idleMs in a row of checks that found
// it idle. Any busy check starts the count again.
class IdleMonitor {
public:
    explicit IdleMonitor(ULONGLONG idleMs) noexcept : idleMs_(idleMs) {}
    // One check at time now (milliseconds); true when the server has been idle long enough.
    bool Check(ULONGLONG now, bool busy) noexcept;
    void Restart() noexcept { idling_ = false; }

private:
    ULONGLONG idleMs_;
    ULONGLONG idleSince_ = 0;
    bool idling_ = false;
};

inline constexpr DWORD kProxyIdleExitMs = 5000;
inline constexpr DWORD kProxyIdleCheckMs = 1000;
// The idle time from the "ProxyIdleTime" setting (milliseconds, for machines
// and tests that want the server gone sooner or later), held to 500 ms..10 min;
// kProxyIdleExitMs without it.
DWORD ProxyIdleExitMs(const DWORD* setting) noexcept;
// Checks come four times per idle time, once a second at most.
inline DWORD ProxyIdleCheckMs(DWORD idleMs) noexcept { return idleMs / 4 < kProxyIdleCheckMs ? idleMs / 4 : kProxyIdleCheckMs; }
// How long "ShutDown" and "UnregServer" wait for the running servers to end.
inline constexpr DWORD kProxyStopWaitMs = 60000;

// The program's module with its two classes and its type library.
ComModule& ProxyComModule();
// Writes (or removes) the classes, the type library and the application keys.
[[nodiscard]] HRESULT RegisterProxyServer(bool registering);
// The named event through which a second copy of the program asks the server
// of that process, in this session, to stop (plainly or forced).
std::wstring ProxyStopEventName(DWORD processId, bool forced);
// Asks every server running in this session to stop and waits up to waitMs
// for those processes to end. Reaches only servers that run: none running is
// success at once, and no server is ever started. True when none runs any more.
[[nodiscard]] bool StopRunningServers(bool forced, DWORD waitMs);
// Tells COM to let a crash inside a call end this process (not available
// before Windows Vista: the failure is returned).
[[nodiscard]] HRESULT LetCrashesEndTheProcess();
// Serves the classes until a stop request or the idle rule ends the message
// loop; the class objects are revoked on every way out. Returns the exit code.
int RunProxyServer();
// The whole program for a command line, on a thread with COM not yet initialised.
int ProxyMain(const wchar_t* commandLine);

// The proxy program's own logic: what its command line asks for, its class
// table and registration, stopping a running copy, and serving COM clients
// until it has been idle for a while.
#pragma once

#include <windows.h>

class ComModule;

enum class ProxyCommand { Serve, RegServer, UnregServer, ShutDown };

// The first token that begins with "-" or "/" and names an option (without
// regard to case) decides; any other command line, such as the "-Embedding"
// COM starts the program with, means serve.
ProxyCommand ParseProxyCommandLine(const wchar_t* commandLine);

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

// The program's module with its two classes and its type library.
ComModule& ProxyComModule();
// Writes (or removes) the classes, the type library and the application keys.
[[nodiscard]] HRESULT RegisterProxyServer(bool registering);
// Asks a running server to end; a server that cannot be reached is no failure.
void StopRunningServer();
// Serves the classes until a ShutDown call or the idle rule ends the message
// loop; the class objects are revoked on every way out. Returns the exit code.
int RunProxyServer();
// The whole program for a command line, on a thread with COM not yet initialised.
int ProxyMain(const wchar_t* commandLine);

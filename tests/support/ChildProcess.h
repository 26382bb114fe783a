// Multi-process tests: a test starts copies of its own test program in child
// mode, each running a named child routine, and waits for them.
//
//   VP_TEST_CHILD(LogWriterChild) { ...; return 0; }   // at namespace scope
//   auto child = vptest::StartChild("LogWriterChild", {L"arg"});
//   EXPECT_EQ(0, vptest::WaitChild(child, 30000));
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vptest {

inline constexpr char kChildSwitch[] = "--vp-child";

using ChildRoutine = int (*)(int argc, char** argv);

// Registers a routine under a name; used through VP_TEST_CHILD.
bool RegisterChild(const char* name, ChildRoutine routine);
int RunChild(const char* name, int argc, char** argv);

// Starts this program in child mode; returns the process handle (null on failure).
HANDLE StartChild(const std::string& name, const std::vector<std::wstring>& args = {});
// Waits for the child and returns its exit code, or -1 on time-out (the child is then killed).
int WaitChild(HANDLE process, DWORD timeoutMs);

}  // namespace vptest

#define VP_TEST_CHILD(name)                                                          \
    static int name(int argc, char** argv);                                          \
    static const bool name##_registered = ::vptest::RegisterChild(#name, &name);     \
    static int name([[maybe_unused]] int argc, [[maybe_unused]] char** argv)

// Entry point of every test program: a private registry hive for the process,
// a crash handler that ends the process at once, and the child-process mode
// that multi-process tests use to run a second copy of the test program.
#include <windows.h>

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "common/VersionStrings.h"
#include "support/ChildProcess.h"
#include "support/RegistrySandbox.h"

namespace {

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info)
{
    std::fprintf(stderr, "test program crashed: exception 0x%08lX at %p\n",
                 info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Every test starts with an empty HKEY_CURRENT_USER of its own.
class SandboxResetListener : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { vptest::RegistrySandbox::Reset(); }
};

}  // namespace

int main(int argc, char** argv)
{
    SetUnhandledExceptionFilter(ReportCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

    vptest::RegistrySandbox::Enter();
    // What the toolbar library does when it is loaded.
    VersionStrings::Initialize();
    int rc = 0;
    if (argc >= 3 && std::string(argv[1]) == vptest::kChildSwitch) {
        rc = vptest::RunChild(argv[2], argc - 3, argv + 3);
    } else {
        testing::InitGoogleTest(&argc, argv);
        testing::UnitTest::GetInstance()->listeners().Append(new SandboxResetListener);
        rc = RUN_ALL_TESTS();
    }
    vptest::RegistrySandbox::Leave();
    return rc;
}

// Gives a test process its own HKEY_CURRENT_USER: a fresh key below the real
// one, mapped over the predefined handle, so tests never see each other's
// settings even when CTest runs them in parallel. Child processes started by a
// test share their parent's sandbox through an environment variable.
#pragma once

#include <string>

namespace vptest {

class RegistrySandbox {
public:
    static void Enter();   // create (or join) the sandbox and map HKCU onto it
    static void Reset();   // empty the sandbox
    static void Leave();   // unmap; the process that created it deletes it
    static std::wstring Path();  // below the real HKCU
};

}  // namespace vptest

// The named shared objects of the lock family (see the header).
#include "common/Locks.h"

#include <sddl.h>

SharedObjectSecurity::SharedObjectSecurity() noexcept : attributes_{sizeof(attributes_), nullptr, FALSE}
{
    // Low mandatory label, no write up: every process of the user, whatever
    // its integrity level, may wait on and signal the object.
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(L"S:(ML;;NW;;;LW)", SDDL_REVISION_1, &descriptor_,
                                                             nullptr))
        attributes_.lpSecurityDescriptor = descriptor_;
    else
        descriptor_ = nullptr;
}

SharedObjectSecurity::~SharedObjectSecurity()
{
    if (descriptor_) LocalFree(descriptor_);
}

NamedMutex::NamedMutex(const wchar_t* name) noexcept : mutex_(nullptr)
{
    SharedObjectSecurity security;
    mutex_ = CreateMutexW(security.Get(), FALSE, name);
    // A mutex made earlier with other security may refuse full access; the
    // rights to wait and release are all a holder needs.
    if (!mutex_) mutex_ = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
}

NamedMutex::~NamedMutex()
{
    if (mutex_) CloseHandle(mutex_);
}

bool NamedMutex::Acquire(DWORD waitMs) noexcept
{
    if (!mutex_) return false;
    const DWORD result = WaitForSingleObject(mutex_, waitMs);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void NamedMutex::Release() noexcept
{
    if (mutex_) ReleaseMutex(mutex_);
}

// The class object of one class of the table (see the header).
#include "common/ClassFactory.h"

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!create_) return E_UNEXPECTED;
    return create_(iid, object);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        ComModule::Instance().Lock();
    else
        ComModule::Instance().Unlock();
    return S_OK;
}

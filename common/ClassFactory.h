// The class object of one class of the table: IClassFactory over the row's
// creator function, with LockServer on the module's lock count. While a
// client holds it, it counts as a live object, so the library stays loaded.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "common/ComModule.h"
#include "common/ComObject.h"

class ClassFactory : public ComObject<ClassFactory, IClassFactory> {
public:
    explicit ClassFactory(ComCreator create) noexcept : create_(create) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ~ClassFactory() override = default;

    ComCreator create_;
};

// The object through which a second copy of the program (started with
// "ShutDown" or "UnregServer") stops a running server: its call ends the
// server's message loop.
#pragma once

#include <windows.h>

#include "VellumpostContextMenuProxyX64_h.h"
#include "common/ComObject.h"
#include "common/LogWriter.h"
#include "common/TypeLibDispatch.h"

class CShutDownServer : public ComObject<CShutDownServer, TypeLibDispatch<IShutDown>> {
public:
    STDMETHODIMP ShutDown() override;

private:
    friend class ComObject<CShutDownServer, TypeLibDispatch<IShutDown>>;
    ~CShutDownServer() override = default;
};

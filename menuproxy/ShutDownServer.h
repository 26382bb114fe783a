// The COM client's way to stop a running server: its call starts the same
// stop as the program's "ShutDown" option. Creating it starts a server when
// none runs, so the program's own options reach servers by their stop events.
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

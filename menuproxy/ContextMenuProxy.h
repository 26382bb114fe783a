// The object the 64-bit Explorer extension calls across processes: it hands
// each command to the toolbar library's context-menu object, created in this
// process, so the upload, tag and blog work runs there as in 32-bit Explorer.
#pragma once

#include <windows.h>

#include "VellumpostContextMenuProxyX64_h.h"
#include "common/ComObject.h"
#include "common/LogWriter.h"
#include "common/TypeLibDispatch.h"

class CContextMenuProxy : public ComObject<CContextMenuProxy, TypeLibDispatch<IContextMenuProxy>> {
public:
    CContextMenuProxy();

    STDMETHODIMP Execute(enum _VellumpostMenuCommand command, VARIANT files, LONG posX, LONG posY) override;

private:
    friend class ComObject<CContextMenuProxy, TypeLibDispatch<IContextMenuProxy>>;
    ~CContextMenuProxy() override;

    LogWriter log_{"CContextMenuProxy"};
};

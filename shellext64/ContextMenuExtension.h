// The right-click extension of 64-bit Explorer: it shows the product's menu
// entries for the selected files and forwards the chosen command, the files
// and the cursor position to the context menu proxy server, which runs it in
// the 32-bit toolbar library.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "VellumpostContextMenuExtensionX64_h.h"
#include "VellumpostContextMenuProxyX64_h.h"
#include "common/ComObject.h"
#include "common/LogWriter.h"
#include "common/TypeLibDispatch.h"
#include "shellext64/MenuItems.h"

class CContextMenuExtension
    : public ComObject<CContextMenuExtension, IShellExtInit, IContextMenu, TypeLibDispatch<IContextMenuExtension>> {
public:
    CContextMenuExtension();

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY programKey) override;
    // IContextMenu
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override;
    STDMETHODIMP GetCommandString(UINT_PTR offset, UINT type, UINT* reserved, CHAR* buffer, UINT size) override;

private:
    friend class ComObject<CContextMenuExtension, IShellExtInit, IContextMenu,
                           TypeLibDispatch<IContextMenuExtension>>;
    ~CContextMenuExtension() override;

    [[nodiscard]] HRESULT CreateProxy();
    // The menu offset the command information names; kMenuEntries when none.
    UINT CommandOffset(const CMINVOKECOMMANDINFO& info) const;
    // Execute on the proxy; a proxy whose server went away is made anew once.
    HRESULT ExecuteOnProxy(UINT command, VARIANT* files);

    LogWriter log_{"CContextMenuExtension"};
    Microsoft::WRL::ComPtr<IContextMenuProxy> proxy_;
    Microsoft::WRL::ComPtr<IDataObject> data_;
    MenuItems items_;
    POINT cursor_{};
};

// The 64-bit Explorer extension's menu and forwarding (see the header).
#include "shellext64/ContextMenuExtension.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "common/FileUrl.h"
#include "common/HResult.h"
#include "common/ProcessSnapshot.h"
#include "common/Variant.h"

using Microsoft::WRL::ComPtr;

namespace {

const wchar_t kProxyProgram[] = L"VellumpostContextMenuProxyX64.exe";

// The CF_HDROP data of a data object, released with the owner.
class DropList {
public:
    DropList() = default;
    DropList(const DropList&) = delete;
    DropList& operator=(const DropList&) = delete;
    ~DropList()
    {
        if (read_) ReleaseStgMedium(&medium_);
    }

    [[nodiscard]] HRESULT Read(IDataObject* data)
    {
        RETURN_HR_IF(E_INVALIDARG, !data);
        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        RETURN_IF_FAILED(data->GetData(&format, &medium_));
        read_ = true;
        RETURN_HR_IF(E_FAIL, medium_.tymed != TYMED_HGLOBAL || !medium_.hGlobal);
        count_ = DragQueryFileW(Drop(), 0xFFFFFFFF, nullptr, 0);
        return S_OK;
    }

    UINT Count() const noexcept { return count_; }

    // The name of file index, of any length; empty when it cannot be read.
    std::wstring File(UINT index) const
    {
        const UINT length = DragQueryFileW(Drop(), index, nullptr, 0);
        if (length == 0) return std::wstring();
        std::wstring name(length + 1, L'\0');
        const UINT copied = DragQueryFileW(Drop(), index, &name[0], length + 1);
        name.resize(copied <= length ? copied : 0);
        return name;
    }

private:
    HDROP Drop() const noexcept { return static_cast<HDROP>(medium_.hGlobal); }

    STGMEDIUM medium_{};
    bool read_ = false;
    UINT count_ = 0;
};

// Lets the proxy server's process bring a tag or login dialog to the front.
void AllowProxyForeground(const LogWriter& log)
{
    for (ProcessSnapshot snapshot; snapshot.Valid(); snapshot.Next()) {
        if (_wcsicmp(snapshot.Entry().szExeFile, kProxyProgram) != 0) continue;
        const DWORD id = snapshot.Entry().th32ProcessID;
        log.Format("AllowSetForegroundWindow(0x%0lX)", static_cast<unsigned long>(id));
        if (!AllowSetForegroundWindow(id)) log.Write("AllowSetForegroundWindow FAILED");
        return;
    }
}

// Errors that say the server behind a proxy is gone and the call never ran in
// it, so that making the proxy anew and calling once more does no work twice.
bool ServerGone(HRESULT hr)
{
    return hr == RPC_E_DISCONNECTED || hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) ||
           hr == CO_E_OBJNOTCONNECTED || hr == RPC_E_SERVER_DIED_DNE ||
           hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE);
}

// A VT_ARRAY | VT_BSTR variant of the texts, one element per text in order.
HRESULT MakeStringArray(const std::vector<std::wstring>& texts, Variant& out)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts.size()));
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, array);
    VARIANT* value = out.Out();
    V_VT(value) = VT_ARRAY | VT_BSTR;
    V_ARRAY(value) = array;  // owned by the variant from here on
    for (LONG i = 0; i < static_cast<LONG>(texts.size()); ++i) {
        BSTR text = SysAllocStringLen(texts[i].data(), static_cast<UINT>(texts[i].size()));
        RETURN_HR_IF_NULL(E_OUTOFMEMORY, text);
        const HRESULT hr = SafeArrayPutElement(array, &i, text);  // stores a copy
        SysFreeString(text);
        RETURN_IF_FAILED(hr);
    }
    return S_OK;
}

}  // namespace

CContextMenuExtension::CContextMenuExtension()
{
    log_.Format("CContextMenuExtension %s", LogAddress(this).c_str());
}

CContextMenuExtension::~CContextMenuExtension()
{
    log_.Format("Destroying CContextMenuExtension %s", LogAddress(this).c_str());
}

HRESULT CContextMenuExtension::CreateProxy()
{
    if (proxy_) return S_OK;
    CLSID proxyClass = CLSID_NULL;
    HRESULT hr = CLSIDFromProgID(L"VellumpostToolbar.ContextMenuProxy", &proxyClass);
    if (FAILED(hr)) {
        log_.Write("Cannot get proxy CLSID");
        return hr;
    }
    hr = CoCreateInstance(proxyClass, nullptr, CLSCTX_ALL, IID_IContextMenuProxy,
                          reinterpret_cast<void**>(proxy_.ReleaseAndGetAddressOf()));
    if (SUCCEEDED(hr) && !proxy_) hr = E_POINTER;
    if (FAILED(hr)) {
        proxy_.Reset();
        log_.Format("Cannot create proxy: 0x%0lX", static_cast<unsigned long>(hr));
    }
    return hr;
}

STDMETHODIMP CContextMenuExtension::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY)
try {
    if (FAILED(CreateProxy())) return E_FAIL;
    data_ = data;
    items_ = MenuItems();
    DropList files;
    if (FAILED(files.Read(data)) || files.Count() == 0) return E_FAIL;
    items_ = MenuItemsFor(files.Count());
    if (!GetCursorPos(&cursor_)) cursor_ = POINT{};
    return S_OK;
}
COM_CATCH_RETURN(log_, "Initialize")

STDMETHODIMP CContextMenuExtension::QueryContextMenu(HMENU menu, UINT index, UINT firstId, UINT lastId, UINT flags)
try {
    log_.Write("QueryContextMenu");
    if ((flags & CMF_DEFAULTONLY) || items_.wide[kMenuUpload].empty()) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    // Ids beyond the range Explorer gave belong to other handlers' entries.
    if (lastId < firstId || lastId - firstId < items_.count - 1) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
    UINT added = 0;
    for (; added < items_.count; ++added) {
        if (!InsertMenuW(menu, index + added, MF_BYPOSITION | MF_STRING, firstId + added,
                         items_.wide[added].c_str()))
            break;
    }
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, added);
}
COM_CATCH_RETURN(log_, "QueryContextMenu")

STDMETHODIMP CContextMenuExtension::GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* buffer, UINT size)
try {
    return CopyCommandString(items_, offset, type, buffer, size);
}
COM_CATCH_RETURN(log_, "GetCommandString")

UINT CContextMenuExtension::CommandOffset(const CMINVOKECOMMANDINFO& info) const
{
    if (IS_INTRESOURCE(info.lpVerb)) return LOWORD(reinterpret_cast<UINT_PTR>(info.lpVerb));
    const auto& extended = reinterpret_cast<const CMINVOKECOMMANDINFOEX&>(info);
    if (info.cbSize >= sizeof(CMINVOKECOMMANDINFOEX) && (info.fMask & CMIC_MASK_UNICODE) && extended.lpVerbW &&
        !IS_INTRESOURCE(extended.lpVerbW))
        return OffsetOfVerb(items_, extended.lpVerbW);
    return OffsetOfVerb(items_, info.lpVerb);
}

HRESULT CContextMenuExtension::ExecuteOnProxy(UINT command, VARIANT* files)
{
    AllowProxyForeground(log_);
    HRESULT hr = proxy_->Execute(static_cast<enum _VellumpostMenuCommand>(command), *files, cursor_.x, cursor_.y);
    if (!ServerGone(hr)) return hr;
    log_.Format("Proxy server gone (0x%0lX): creating the proxy again", static_cast<unsigned long>(hr));
    proxy_.Reset();
    RETURN_IF_FAILED(CreateProxy());
    AllowProxyForeground(log_);
    return proxy_->Execute(static_cast<enum _VellumpostMenuCommand>(command), *files, cursor_.x, cursor_.y);
}

STDMETHODIMP CContextMenuExtension::InvokeCommand(CMINVOKECOMMANDINFO* info)
try {
    log_.Write("InvokeCommand");
    if (!data_) {
        log_.Write("Files is empty");
        return E_FAIL;
    }
    if (!info) return E_INVALIDARG;
    DropList drop;
    if (FAILED(drop.Read(data_.Get())) || FAILED(CreateProxy())) return E_FAIL;

    const UINT command = CommandOffset(*info);
    const bool known = command < kMenuEntries;
    if (known && command == kMenuUpload) log_.Write("Invoke command HOST");
    else if (known && command == kMenuTag) log_.Write("Invoke command TAG");
    else if (known && command == kMenuPostToBlog) log_.Write("Invoke command POST TO BLOG");
    else {
        log_.Write("Invoke command with wrong ID");
        return E_FAIL;
    }

    // Uploads take the paths as they are; tagging and the blog take addresses.
    std::vector<std::wstring> files;
    files.reserve(drop.Count());
    for (UINT i = 0; i < drop.Count(); ++i) {
        std::wstring name = drop.File(i);
        files.push_back(command == kMenuUpload || name.empty() ? name : PathToFileUrl(name));
    }
    Variant list;
    RETURN_IF_FAILED(MakeStringArray(files, list));
    const HRESULT hr = ExecuteOnProxy(command, list.Get());
    if (FAILED(hr)) log_.Format("Execute failed: 0x%0lX", static_cast<unsigned long>(hr));
    // The command's own errors are the proxy's and the toolbar's to report.
    return S_OK;
}
COM_CATCH_RETURN(log_, "InvokeCommand")

// The shell's data object for a selection of files (see the header).
#include "tools/driver/ExplorerSelection.h"

#include <shlobj.h>
#include <wrl/client.h>

#include "common/HResult.h"

using Microsoft::WRL::ComPtr;

namespace {

// Owner of the item identifier lists made for the selection.
class ItemLists {
public:
    ItemLists() = default;
    ItemLists(const ItemLists&) = delete;
    ItemLists& operator=(const ItemLists&) = delete;
    ~ItemLists()
    {
        for (PIDLIST_ABSOLUTE item : items_) CoTaskMemFree(item);
    }
    void Add(PIDLIST_ABSOLUTE item) { items_.push_back(item); }

private:
    std::vector<PIDLIST_ABSOLUTE> items_;
};

}  // namespace

HRESULT SelectionDataObject(const std::vector<std::wstring>& paths, IDataObject** data)
{
    RETURN_HR_IF(E_POINTER, !data);
    *data = nullptr;
    RETURN_HR_IF(E_INVALIDARG, paths.empty());
    const auto folderOf = [](const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); };
    for (const std::wstring& path : paths)
        RETURN_HR_IF(E_INVALIDARG, _wcsicmp(folderOf(path).c_str(), folderOf(paths[0]).c_str()) != 0);
    ItemLists owned;
    ComPtr<IShellFolder> folder;
    std::vector<PCUITEMID_CHILD> children;
    for (const std::wstring& path : paths) {
        PIDLIST_ABSOLUTE item = nullptr;
        RETURN_IF_FAILED(SHParseDisplayName(path.c_str(), nullptr, &item, 0, nullptr));
        owned.Add(item);
        ComPtr<IShellFolder> parent;
        PCUITEMID_CHILD child = nullptr;
        RETURN_IF_FAILED(SHBindToParent(item, IID_PPV_ARGS(&parent), &child));
        // One folder makes the data object of all its selected items, as in
        // an Explorer window.
        if (!folder) folder = parent;
        children.push_back(child);
    }
    return folder->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(), IID_IDataObject,
                                 nullptr, reinterpret_cast<void**>(data));
}

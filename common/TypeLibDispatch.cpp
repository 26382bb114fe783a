// The cache of type information behind TypeLibDispatch (see the header).
// Type libraries and their ITypeInfo objects may be used from any thread, so
// one cache serves every apartment of the process.
#include "common/TypeLibDispatch.h"

#include <oleauto.h>

#include <string>
#include <vector>

#include "common/Locks.h"
#include "common/ModuleInstance.h"

namespace {

struct CachedLibrary {
    UINT resource;
    ITypeLib* library;
};

struct CachedInfo {
    UINT resource;
    IID iid;
    ITypeInfo* info;
};

// Held by raw pointer and never destroyed by the runtime: the objects are
// released by ReleaseModuleTypeInfo while the system libraries are still
// loaded, not by a static destructor at process exit.
struct Cache {
    CriticalSection lock;
    std::vector<CachedLibrary> libraries;
    std::vector<CachedInfo> infos;
};

Cache& TheCache()
{
    static Cache* cache = new Cache;
    return *cache;
}

HRESULT LoadLibraryOf(Cache& cache, UINT resource, ITypeLib** library)
{
    for (const CachedLibrary& cached : cache.libraries) {
        if (cached.resource == resource) {
            *library = cached.library;
            return S_OK;
        }
    }
    std::wstring path = ThisModulePath();
    if (path.empty()) return E_FAIL;
    if (resource != 1) path += L"\\" + std::to_wstring(resource);
    ITypeLib* loaded = nullptr;
    const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &loaded);
    if (FAILED(hr)) return hr;
    cache.libraries.push_back({resource, loaded});
    *library = loaded;
    return S_OK;
}

}  // namespace

HRESULT GetModuleTypeInfo(REFIID iid, UINT typeLibResource, ITypeInfo** info) noexcept
{
    if (!info) return E_POINTER;
    *info = nullptr;
    try {
        Cache& cache = TheCache();
        ScopedLock guard(cache.lock);
        for (const CachedInfo& cached : cache.infos) {
            if (cached.resource == typeLibResource && InlineIsEqualGUID(cached.iid, iid)) {
                cached.info->AddRef();
                *info = cached.info;
                return S_OK;
            }
        }
        ITypeLib* library = nullptr;
        HRESULT hr = LoadLibraryOf(cache, typeLibResource, &library);
        if (FAILED(hr)) return hr;
        ITypeInfo* loaded = nullptr;
        hr = library->GetTypeInfoOfGuid(iid, &loaded);
        if (FAILED(hr)) return hr;
        cache.infos.push_back({typeLibResource, iid, loaded});
        loaded->AddRef();
        *info = loaded;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void ReleaseModuleTypeInfo() noexcept
{
    Cache& cache = TheCache();
    ScopedLock guard(cache.lock);
    for (CachedInfo& cached : cache.infos) cached.info->Release();
    for (CachedLibrary& cached : cache.libraries) cached.library->Release();
    cache.infos.clear();
    cache.libraries.clear();
}

// IDispatch of a dual interface, implemented by the type library embedded in
// this image: names and calls go to the interface's ITypeInfo, which is loaded
// once per interface and kept until the module terminates. As an entry of a
// ComObject table:
//
//   class CUploader : public ComObject<CUploader, TypeLibDispatch<IFileUploader>> { ... };
//
// The class implements the dual interface's own methods; QueryInterface
// answers IDispatch with this interface.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

// The ITypeInfo of interface iid in this image's TYPELIB resource number
// typeLibResource, loaded on first use and cached for every later call.
[[nodiscard]] HRESULT GetModuleTypeInfo(REFIID iid, UINT typeLibResource, ITypeInfo** info) noexcept;

// Releases every cached ITypeInfo and type library (at module termination).
void ReleaseModuleTypeInfo() noexcept;

template <typename Dual, UINT TypeLibResource = 1>
class TypeLibDispatch : public Dual {
public:
    using ComInterface = Dual;

    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }

    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return GetModuleTypeInfo(__uuidof(Dual), TypeLibResource, info);
    }

    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (!InlineIsEqualGUID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        if (!names || !ids) return E_POINTER;
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        const HRESULT hr = GetModuleTypeInfo(__uuidof(Dual), TypeLibResource, &info);
        return FAILED(hr) ? hr : info->GetIDsOfNames(names, count, ids);
    }

    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override
    {
        if (!InlineIsEqualGUID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        const HRESULT hr = GetModuleTypeInfo(__uuidof(Dual), TypeLibResource, &info);
        if (FAILED(hr)) return hr;
        return info->Invoke(static_cast<Dual*>(this), id, flags, params, result, exception, argumentError);
    }
};

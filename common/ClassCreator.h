// Creation of an object's helpers by class identifier through one replaceable
// function: the registered classes by default (CoCreateInstance), doubles in
// tests that watch what the object does with its helpers.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include <atomic>

class ClassCreator {
public:
    using Function = HRESULT (*)(REFCLSID clsid, REFIID iid, void** object);

    // Null restores the default.
    void Set(Function function) noexcept { function_ = function ? function : &CreateRegistered; }

    // Creates class clsid as interface I; a success without an object counts
    // as E_NOINTERFACE.
    template <typename I>
    HRESULT Create(REFCLSID clsid, Microsoft::WRL::ComPtr<I>& object) const noexcept
    {
        object.Reset();
        const HRESULT hr = function_.load()(clsid, __uuidof(I), reinterpret_cast<void**>(object.GetAddressOf()));
        if (SUCCEEDED(hr) && !object) return E_NOINTERFACE;
        return hr;
    }

private:
    static HRESULT CreateRegistered(REFCLSID clsid, REFIID iid, void** object)
    {
        return CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object);
    }

    std::atomic<Function> function_{&CreateRegistered};
};

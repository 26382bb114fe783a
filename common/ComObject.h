// The base of every COM class of the product: QueryInterface over a table of
// the interfaces a class states, an atomic reference count, a protected
// destructor and the module's object count. A class names only its entries:
//
//   class CThing : public ComObject<CThing, IThing, IObjectWithSite> { ... };
//
// An entry is an interface the class derives from, a TypeLibDispatch<IDual>
// (a dual interface whose IDispatch part the type library implements) or a
// ComAlias<IBase, IDerived> (QueryInterface for IBase answers with the IBase
// part of IDerived, for base interfaces such as IOleWindow under IDeskBand).
// IUnknown answers with the first entry (an interface, not an alias),
// IDispatch with the first entry that derives from IDispatch. Aggregation is
// not supported. The destructor of a class is private or protected: objects
// live on the heap and go with their last Release.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <atomic>
#include <new>
#include <type_traits>
#include <utility>

#include "common/ComModule.h"

template <typename Interface, typename Via>
struct ComAlias {};

namespace comdetail {

// Which IID an entry answers to and which base of the object gives the pointer.
template <typename Entry, typename = void>
struct EntryTraits {
    using Interface = Entry;
    using Via = Entry;
};
// Entries that implement an interface for the class (TypeLibDispatch) name it.
template <typename Entry>
struct EntryTraits<Entry, std::void_t<typename Entry::ComInterface>> {
    using Interface = typename Entry::ComInterface;
    using Via = Entry;
};
template <typename Interface_, typename Via_>
struct EntryTraits<ComAlias<Interface_, Via_>, void> {
    using Interface = Interface_;
    using Via = Via_;
};

}  // namespace comdetail

template <typename Derived, typename First, typename... Rest>
class ComObject : public First, public Rest... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        void* found = nullptr;
        if (InlineIsEqualGUID(iid, IID_IUnknown)) {
            found = Identity();
        } else if (!(Match<First>(iid, &found) || (Match<Rest>(iid, &found) || ...)) &&
                   InlineIsEqualGUID(iid, IID_IDispatch)) {
            MatchDispatch<First>(&found) || (MatchDispatch<Rest>(&found) || ...);
        }
        if (!found) return E_NOINTERFACE;
        AddRef();
        *object = found;
        return S_OK;
    }

    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }

    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // Creates an object and returns the interface iid of it; the signature of
    // ComClassEntry::create. Fails with E_OUTOFMEMORY or E_FAIL when the
    // constructor throws.
    static HRESULT CreateInstance(REFIID iid, void** object) noexcept
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        Microsoft::WRL::ComPtr<Derived> created;
        const HRESULT hr = Create(created);
        return FAILED(hr) ? hr : created->QueryInterface(iid, object);
    }

    // Creates an object with the given constructor arguments and hands it out
    // as I: the class itself or any interface of its table.
    template <typename I, typename... Args>
    static HRESULT Create(Microsoft::WRL::ComPtr<I>& object, Args&&... args) noexcept
    {
        object.Reset();
        Microsoft::WRL::ComPtr<Derived> created;
        try {
            created = new Derived(std::forward<Args>(args)...);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
        if constexpr (std::is_same_v<I, Derived>) {
            object = std::move(created);
            return S_OK;
        } else {
            return created.As(&object);
        }
    }

    // Create for callers that only need the pointer: null on failure.
    template <typename I = Derived, typename... Args>
    static Microsoft::WRL::ComPtr<I> Make(Args&&... args) noexcept
    {
        Microsoft::WRL::ComPtr<I> object;
        (void)Create(object, std::forward<Args>(args)...);
        return object;
    }

protected:
    ComObject() noexcept { ComModule::Instance().IncrementObjectCount(); }
    virtual ~ComObject() { ComModule::Instance().DecrementObjectCount(); }

private:
    template <typename Entry>
    void* Cast() noexcept
    {
        using Traits = comdetail::EntryTraits<Entry>;
        return static_cast<typename Traits::Interface*>(static_cast<typename Traits::Via*>(this));
    }

    template <typename Entry>
    bool Match(REFIID iid, void** found) noexcept
    {
        if (!InlineIsEqualGUID(iid, __uuidof(typename comdetail::EntryTraits<Entry>::Interface)))
            return false;
        *found = Cast<Entry>();
        return true;
    }

    template <typename Entry>
    bool MatchDispatch(void** found) noexcept
    {
        using Interface = typename comdetail::EntryTraits<Entry>::Interface;
        if constexpr (std::is_base_of_v<IDispatch, Interface>) {
            *found = static_cast<IDispatch*>(static_cast<Interface*>(Cast<Entry>()));
            return true;
        } else {
            return false;
        }
    }

    // The one IUnknown pointer of the object, whatever interface was asked first.
    void* Identity() noexcept
    {
        return static_cast<IUnknown*>(static_cast<typename comdetail::EntryTraits<First>::Interface*>(Cast<First>()));
    }

    std::atomic<ULONG> references_{0};
};

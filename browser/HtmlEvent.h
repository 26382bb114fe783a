// The event sinks the page handlers set on a page's elements: a dispatch-only
// object that, when the page fires the event, first calls the handler the page
// had set there itself and then one routine of its owner.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <atomic>
#include <utility>

#include "common/LogWriter.h"

// Reference counting, the counted owner and the page's own handler. The owner
// lives as long as the page keeps one of its sinks.
class AbstractHtmlEvent : public IDispatch {
public:
    AbstractHtmlEvent(const AbstractHtmlEvent&) = delete;
    AbstractHtmlEvent& operator=(const AbstractHtmlEvent&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID* ids) override;
    // Whatever the dispatch id and arguments: the page's handler, then the owner's routine.
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;

    // The handler to chain to when putting a sink where previous was set: the
    // page's own; when previous is a sink of ours, the one it chained to (a
    // document that is attached again must not run a routine twice).
    static Microsoft::WRL::ComPtr<IDispatch> PageHandler(const VARIANT& previous);

protected:
    AbstractHtmlEvent(IUnknown* owner, IDispatch* pageHandler, int extra);
    virtual ~AbstractHtmlEvent();
    virtual void Fire() = 0;

    const int extra_;

private:
    std::atomic<ULONG> references_{1};
    Microsoft::WRL::ComPtr<IUnknown> ownerReference_;
    Microsoft::WRL::ComPtr<IDispatch> pageHandler_;
    LogWriter log_{"AbstractHtmlEvent"};
};

// A sink bound to one member function of its owner.
template <typename Owner>
class CSingleHtmlEvent final : public AbstractHtmlEvent {
public:
    using Routine = void (Owner::*)(int extra);

    // A new sink (one reference) for owner->routine(extra), chaining to
    // pageHandler when it is not null.
    static Microsoft::WRL::ComPtr<IDispatch> Create(Owner* owner, IUnknown* ownerIdentity, Routine routine,
                                                    IDispatch* pageHandler, int extra = 0)
    {
        Microsoft::WRL::ComPtr<IDispatch> sink;
        *sink.GetAddressOf() = new CSingleHtmlEvent(owner, ownerIdentity, routine, pageHandler, extra);
        return sink;
    }

private:
    CSingleHtmlEvent(Owner* owner, IUnknown* ownerIdentity, Routine routine, IDispatch* pageHandler, int extra)
        : AbstractHtmlEvent(ownerIdentity, pageHandler, extra), owner_(owner), routine_(routine)
    {
    }
    void Fire() override { (owner_->*routine_)(extra_); }

    Owner* owner_;
    Routine routine_;
};

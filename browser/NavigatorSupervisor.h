// Watches one browser frame for completed documents: keeps the toolbar's login
// state in step with the service's cookies, answers the service's cookie
// challenge, gives every page its drop and button handlers and starts the
// periodic update check when it is due.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <wrl/client.h>

#include "VellumpostToolbar_h.h"
#include "common/ClassCreator.h"
#include "common/ComObject.h"
#include "common/LogWriter.h"
#include "common/SettingsStore.h"
#include "common/TypeLibDispatch.h"

class CNavigatorSupervisor : public ComObject<CNavigatorSupervisor, TypeLibDispatch<INavigatorSupervisor>> {
public:
    // Creates the objects the supervisor hands pages and update checks to
    // (drop handler, buttons handler, update checker) by class. The default
    // creates the registered classes; tests put doubles in. Null restores it.
    using HelperFactory = ClassCreator::Function;
    static void SetHelperFactory(HelperFactory factory);

    CNavigatorSupervisor() = default;

    // The browser's event connection asks for its event interface, which the
    // type library's IDispatch serves: DocumentComplete has the event's id.
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;

    // INavigatorSupervisor
    STDMETHODIMP Start(IDispatch* browser, IStockBar* bar) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP DocumentComplete(IDispatch* frame, VARIANT* url) override;

protected:
    ~CNavigatorSupervisor() override = default;

private:
    bool BrowserVisible() const;
    void CheckLogin(IDispatch* frame);
    void TellBar(bool loggedIn) const;
    void CheckForUpdateWhenDue();
    void StartUpdateCheck();
    // Creates a page handler and attaches it; parse also attaches the frames.
    // Fails only when the handler cannot be created (an attach failure is logged).
    template <typename Handler>
    HRESULT AttachHandler(REFCLSID clsid, IDispatch* frame, bool parse);

    LogWriter log_{"CNavigatorSupervisor"};
    DWORD connection_ = 0;
    Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
    Microsoft::WRL::ComPtr<IStockBar> bar_;
    SettingsStore settings_;
};

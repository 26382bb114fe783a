// What both page handlers read of a browser's document: the document and its
// address, elements by tag name, the window's current event and the data
// object dragged with it, the walk over the document's frames, and work put
// off until the page's event has returned.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <wrl/client.h>

#include <functional>
#include <string>

#include "VellumpostToolbar_h.h"

// The browser's HTML document; E_FAIL when it shows none.
HRESULT BrowserDocument(IWebBrowser2* browser, Microsoft::WRL::ComPtr<IHTMLDocument2>& document);

// The document's address; empty when it cannot be read.
std::wstring DocumentAddress(IHTMLDocument2* document);

// Calls visit for every element of the document with the tag name (any case)
// until visit answers false. Fails when the document's element list fails.
HRESULT VisitElements(IHTMLDocument2* document, const wchar_t* tag,
                      const std::function<bool(IHTMLElement* element)>& visit);

// The window's current event; null when there is none.
Microsoft::WRL::ComPtr<IHTMLEventObj> CurrentEvent(IHTMLDocument2* document);

// The element at the event's client coordinates; null when there is none.
Microsoft::WRL::ComPtr<IHTMLElement> ElementUnderEvent(IHTMLDocument2* document, IHTMLEventObj* event);

// The event's data transfer; null when the event carries none.
Microsoft::WRL::ComPtr<IHTMLDataTransfer> EventDataTransfer(IHTMLEventObj* event);

// The OLE data object behind a data transfer; null when it serves none.
Microsoft::WRL::ComPtr<IDataObject> TransferredData(IHTMLDataTransfer* transfer);

// Sets the event's returnValue to the given boolean.
void SetReturnValue(IHTMLEventObj* event, bool value);

// An element's id and class name.
std::wstring ElementId(IHTMLElement* element);
std::wstring ElementClass(IHTMLElement* element);

// Attaches a handler to the document of browser and to each of its frames:
// attachOwn for this document (a failure ends the walk with S_OK), then
// attachFrame for every "iframe" element that yields a browser. *attached is
// only ever set to true, so the caller starts it at false.
using PageAttach = std::function<HRESULT(IDispatch* browser, IStockBar* bar, BOOL* attached)>;
HRESULT AttachWithFrames(IDispatch* browser, IStockBar* bar, BOOL* attached, const PageAttach& attachOwn,
                         const PageAttach& attachFrame);

// AttachWithFrames for a handler class: self's own Attach, then a new Handler
// for each frame (released at once: the frame's page keeps it alive).
template <typename Handler, typename Interface>
HRESULT AttachHandlerWithFrames(Interface* self, IDispatch* browser, IStockBar* bar, BOOL* attached)
{
    return AttachWithFrames(
        browser, bar, attached,
        [self](IDispatch* shown, IStockBar* band, BOOL* done) { return self->Attach(shown, band, done); },
        [](IDispatch* frame, IStockBar* band, BOOL* done) {
            Microsoft::WRL::ComPtr<Interface> handler = Handler::template Make<Interface>();
            return handler ? handler->AttachAndParse(frame, band, done) : E_OUTOFMEMORY;
        });
}

// Stores browser's IWebBrowser2 in stored: E_POINTER for null, E_FAIL when
// one is stored already, the query's failure when it is no browser.
HRESULT StoreBrowserOnce(Microsoft::WRL::ComPtr<IWebBrowser2>& stored, IDispatch* browser);

// Runs task on this thread once the event being handled has returned (a
// posted message), so that windows it opens do not run inside the page's
// event. False when it could not be queued (the task is then dropped).
bool RunAfterEvent(std::function<void()> task);

// Reading a browser's document for the page handlers (see the header).
#include "browser/PageAccess.h"

#include <servprov.h>

#include <memory>

#include "common/Bstr.h"
#include "common/LogWriter.h"
#include "common/ModuleInstance.h"
#include "common/HResult.h"
#include "common/Variant.h"

using Microsoft::WRL::ComPtr;

HRESULT BrowserDocument(IWebBrowser2* browser, ComPtr<IHTMLDocument2>& document)
{
    document.Reset();
    if (!browser) return E_POINTER;
    ComPtr<IDispatch> shown;
    if (FAILED(browser->get_Document(shown.GetAddressOf())) || !shown) return E_FAIL;
    if (FAILED(shown.As(&document)) || !document) return E_FAIL;
    return S_OK;
}

std::wstring DocumentAddress(IHTMLDocument2* document)
{
    Bstr url;
    if (!document || FAILED(document->get_URL(url.Out()))) return std::wstring();
    return std::wstring(url.Text(), url.Length());
}

HRESULT VisitElements(IHTMLDocument2* document, const wchar_t* tag,
                      const std::function<bool(IHTMLElement* element)>& visit)
{
    if (!document) return E_POINTER;
    ComPtr<IHTMLElementCollection> all;
    RETURN_IF_FAILED(document->get_all(all.GetAddressOf()));
    if (!all) return E_FAIL;
    Variant name(tag);
    ComPtr<IDispatch> taggedDispatch;
    RETURN_IF_FAILED(all->tags(*name.Get(), taggedDispatch.GetAddressOf()));
    ComPtr<IHTMLElementCollection> tagged;
    if (!taggedDispatch || FAILED(taggedDispatch.As(&tagged))) return E_FAIL;
    LONG length = 0;
    RETURN_IF_FAILED(tagged->get_length(&length));
    for (LONG i = 0; i < length; ++i) {
        Variant index(i);
        ComPtr<IDispatch> item;
        if (FAILED(tagged->item(*index.Get(), *index.Get(), item.GetAddressOf())) || !item) continue;
        ComPtr<IHTMLElement> element;
        if (FAILED(item.As(&element)) || !element) continue;
        if (!visit(element.Get())) break;
    }
    return S_OK;
}

ComPtr<IHTMLEventObj> CurrentEvent(IHTMLDocument2* document)
{
    ComPtr<IHTMLWindow2> window;
    ComPtr<IHTMLEventObj> event;
    if (document && SUCCEEDED(document->get_parentWindow(window.GetAddressOf())) && window)
        if (FAILED(window->get_event(event.GetAddressOf()))) event.Reset();
    return event;
}

ComPtr<IHTMLElement> ElementUnderEvent(IHTMLDocument2* document, IHTMLEventObj* event)
{
    ComPtr<IHTMLElement> element;
    LONG x = 0, y = 0;
    if (!document || !event || FAILED(event->get_clientX(&x)) || FAILED(event->get_clientY(&y))) return element;
    if (FAILED(document->elementFromPoint(x, y, element.GetAddressOf()))) element.Reset();
    return element;
}

ComPtr<IHTMLDataTransfer> EventDataTransfer(IHTMLEventObj* event)
{
    ComPtr<IHTMLEventObj2> event2;
    ComPtr<IHTMLDataTransfer> transfer;
    if (event && SUCCEEDED(event->QueryInterface(IID_PPV_ARGS(&event2))) && event2)
        if (FAILED(event2->get_dataTransfer(transfer.GetAddressOf()))) transfer.Reset();
    return transfer;
}

ComPtr<IDataObject> TransferredData(IHTMLDataTransfer* transfer)
{
    ComPtr<IServiceProvider> services;
    ComPtr<IDataObject> data;
    if (transfer && SUCCEEDED(transfer->QueryInterface(IID_PPV_ARGS(&services))) && services)
        if (FAILED(services->QueryService(IID_IDataObject, IID_PPV_ARGS(&data)))) data.Reset();
    return data;
}

void SetReturnValue(IHTMLEventObj* event, bool value)
{
    if (!event) return;
    VARIANT flag;
    VariantInit(&flag);
    V_VT(&flag) = VT_BOOL;
    V_BOOL(&flag) = value ? VARIANT_TRUE : VARIANT_FALSE;
    event->put_returnValue(flag);
}

std::wstring ElementId(IHTMLElement* element)
{
    Bstr text;
    if (!element || FAILED(element->get_id(text.Out()))) return std::wstring();
    return std::wstring(text.Text(), text.Length());
}

std::wstring ElementClass(IHTMLElement* element)
{
    Bstr text;
    if (!element || FAILED(element->get_className(text.Out()))) return std::wstring();
    return std::wstring(text.Text(), text.Length());
}

HRESULT AttachWithFrames(IDispatch* browser, IStockBar* bar, BOOL* attached, const PageAttach& attachOwn,
                         const PageAttach& attachFrame)
{
    BOOL own = FALSE;
    if (FAILED(attachOwn(browser, bar, &own))) return S_OK;
    if (attached && own) *attached = TRUE;
    ComPtr<IWebBrowser2> shown;
    ComPtr<IHTMLDocument2> document;
    if (!browser || FAILED(browser->QueryInterface(IID_PPV_ARGS(&shown))) || FAILED(BrowserDocument(shown.Get(), document)))
        return S_OK;
    (void)VisitElements(document.Get(), L"iframe", [&](IHTMLElement* element) {
        ComPtr<IWebBrowser2> frame;
        if (FAILED(element->QueryInterface(IID_PPV_ARGS(&frame))) || !frame) return true;
        ComPtr<IDispatch> frameDispatch;
        if (FAILED(element->QueryInterface(IID_PPV_ARGS(&frameDispatch)))) return true;
        BOOL inFrame = FALSE;
        (void)attachFrame(frameDispatch.Get(), bar, &inFrame);
        if (attached && inFrame) *attached = TRUE;
        return true;
    });
    return S_OK;
}

HRESULT StoreBrowserOnce(ComPtr<IWebBrowser2>& stored, IDispatch* browser)
{
    if (!browser) return E_POINTER;
    if (stored) return E_FAIL;
    return browser->QueryInterface(IID_PPV_ARGS(stored.ReleaseAndGetAddressOf()));
}

namespace {

const wchar_t kAfterEventClass[] = L"VellumpostAfterEvent";
const UINT kRunTask = WM_APP + 1;

// One message-only window per queued task: it runs the task on its message
// and goes away, so nothing of it outlives the task.
LRESULT CALLBACK AfterEventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        auto* task = reinterpret_cast<std::function<void()>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == kRunTask && task) {
            std::unique_ptr<std::function<void()>> owned(task);
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            DestroyWindow(window);
            (*owned)();
            return 0;
        }
        if (message == WM_NCDESTROY && task) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete task;
        }
    } catch (...) {
        LogWriter("RunAfterEvent").Write("EXCEPTION on a task run after an event");
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool RunAfterEvent(std::function<void()> task)
{
    // Registered on demand: the class goes with the library when it unloads.
    WNDCLASSW windowClass{};
    if (!GetClassInfoW(ThisModule(), kAfterEventClass, &windowClass)) {
        windowClass.lpfnWndProc = &AfterEventProc;
        windowClass.hInstance = ThisModule();
        windowClass.lpszClassName = kAfterEventClass;
        RegisterClassW(&windowClass);
    }
    HWND window = CreateWindowExW(0, kAfterEventClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), nullptr);
    if (!window) return false;
    auto owned = std::make_unique<std::function<void()>>(std::move(task));
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owned.release()));
    if (PostMessageW(window, kRunTask, 0, 0)) return true;
    DestroyWindow(window);
    return false;
}

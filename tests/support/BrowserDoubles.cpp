// The browser doubles (see the header). Built against the C declarations of
// the interfaces: each table starts with every slot failing the test, and
// only the calls the product makes are filled in, with the exact function
// types of the declarations.
#define CINTERFACE
#include "support/BrowserDoubles.h"

#include <exdisp.h>
#include <mshtml.h>
#include <oleauto.h>
#include <docobj.h>
#include <exdispid.h>
#include <ocidl.h>
#include <olectl.h>
#include <servprov.h>

#include <array>
#include <cwchar>
#include <utility>

#include <gtest/gtest.h>

namespace vptest {

namespace {

// Every unimplemented slot: fails the test with the interface and slot number
// (count IUnknown's three and IDispatch's four methods first). Tests run only
// in the x86_64 build, where the caller cleans up the arguments, so one
// signature serves every slot.
template <size_t Slot>
HRESULT STDMETHODCALLTYPE Unexpected(void* self)
{
    BrowserFace* face = static_cast<BrowserFace*>(self);
    ADD_FAILURE() << "unexpected call of " << face->owner->Kind() << " " << face->name << " slot " << Slot;
    return E_NOTIMPL;
}

const size_t kMaxSlots = 256;
using Slot = HRESULT(STDMETHODCALLTYPE*)(void*);

template <size_t... N>
constexpr std::array<Slot, sizeof...(N)> UnexpectedSlots(std::index_sequence<N...>)
{
    return {&Unexpected<N>...};
}

const std::array<Slot, kMaxSlots> kUnexpected = UnexpectedSlots(std::make_index_sequence<kMaxSlots>());

template <typename Interface>
HRESULT STDMETHODCALLTYPE FaceQueryInterface(Interface* self, REFIID iid, void** object)
{
    return BrowserObject::FromInterface(self)->QueryInterface(iid, object);
}

template <typename Interface>
ULONG STDMETHODCALLTYPE FaceAddRef(Interface* self)
{
    return BrowserObject::FromInterface(self)->AddRef();
}

template <typename Interface>
ULONG STDMETHODCALLTYPE FaceRelease(Interface* self)
{
    return BrowserObject::FromInterface(self)->Release();
}

// A table whose slots all fail, apart from the three IUnknown methods.
template <typename Table, typename Interface>
Table FailingTable()
{
    static_assert(sizeof(Table) / sizeof(void*) <= kMaxSlots, "table larger than the failing slots");
    Table table;
    Slot* slots = reinterpret_cast<Slot*>(&table);
    for (size_t i = 0; i < sizeof(Table) / sizeof(void*); ++i) slots[i] = kUnexpected[i];
    table.QueryInterface = &FaceQueryInterface<Interface>;
    table.AddRef = &FaceAddRef<Interface>;
    table.Release = &FaceRelease<Interface>;
    return table;
}

template <typename T>
T* Self(void* face)
{
    return static_cast<T*>(BrowserObject::FromInterface(face));
}

std::wstring TextOf(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

HRESULT CopyText(const std::wstring& text, BSTR* out)
{
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// Hands out interface index of object with a new reference.
template <typename Interface>
HRESULT GiveFace(BrowserObject* object, size_t index, Interface** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!object) return S_OK;
    object->AddRef();
    *out = static_cast<Interface*>(object->Face(index));
    return S_OK;
}

}  // namespace

// The interface tables and the functions in them.
struct BrowserTables {
    // --- script function ---------------------------------------------------------
    static HRESULT STDMETHODCALLTYPE FunctionInvoke(IDispatch* self, DISPID id, REFIID, LCID locale, WORD flags,
                                                    DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*)
    {
        auto* function = Self<BrowserScriptFunction>(self);
        HRESULT hr = function->Begin(L"Invoke");
        if (FAILED(hr)) return hr;
        if (id != DISPID_VALUE || !(flags & DISPATCH_METHOD)) {
            ADD_FAILURE() << "script function invoked with id " << id << " and flags " << flags;
            return DISP_E_MEMBERNOTFOUND;
        }
        BrowserScriptFunction::Invocation call{locale, {}};
        if (params && params->cArgs > 0 && !params->rgvarg) return E_INVALIDARG;
        for (UINT i = params ? params->cArgs : 0; i > 0; --i) call.arguments.push_back(DescribeVariant(params->rgvarg[i - 1]));
        function->invocations.push_back(std::move(call));
        ScriptAnswer answer;
        if (!function->answers.empty()) {
            answer = function->answers.front();
            function->answers.pop_front();
        }
        if (FAILED(answer.hr)) return answer.hr;
        if (!result) return S_OK;
        VariantInit(result);
        switch (answer.value.type) {
        case VT_BOOL:
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = answer.value.text == L"true" ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_BSTR:
            V_VT(result) = VT_BSTR;
            return CopyText(answer.value.text, &V_BSTR(result));
        case VT_I4:
            V_VT(result) = VT_I4;
            V_I4(result) = _wtoi(answer.value.text.c_str());
            break;
        default:
            break;
        }
        return S_OK;
    }

    static const IDispatchVtbl& FunctionTable()
    {
        static const IDispatchVtbl table = [] {
            auto t = FailingTable<IDispatchVtbl, IDispatch>();
            t.Invoke = &FunctionInvoke;
            return t;
        }();
        return table;
    }

    // --- style ---------------------------------------------------------------------
    static HRESULT STDMETHODCALLTYPE StylePutVisibility(IHTMLStyle* self, BSTR value)
    {
        auto* style = Self<BrowserStyle>(self);
        HRESULT hr = style->Begin(L"put_visibility", TextOf(value));
        if (SUCCEEDED(hr)) style->visibility = TextOf(value);
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE StylePutPosition(IHTMLStyle2* self, BSTR value)
    {
        auto* style = Self<BrowserStyle>(self);
        HRESULT hr = style->Begin(L"put_position", TextOf(value));
        if (SUCCEEDED(hr)) style->position = TextOf(value);
        return hr;
    }

    static const IHTMLStyleVtbl& StyleTable()
    {
        static const IHTMLStyleVtbl table = [] {
            auto t = FailingTable<IHTMLStyleVtbl, IHTMLStyle>();
            t.put_visibility = &StylePutVisibility;
            return t;
        }();
        return table;
    }

    static const IHTMLStyle2Vtbl& Style2Table()
    {
        static const IHTMLStyle2Vtbl table = [] {
            auto t = FailingTable<IHTMLStyle2Vtbl, IHTMLStyle2>();
            t.put_position = &StylePutPosition;
            return t;
        }();
        return table;
    }

    // --- element ---------------------------------------------------------------------
    static HRESULT STDMETHODCALLTYPE ElementGetInnerText(IHTMLElement* self, BSTR* out)
    {
        auto* element = Self<BrowserElement>(self);
        HRESULT hr = element->Begin(L"get_innerText");
        return FAILED(hr) ? hr : CopyText(element->innerText, out);
    }

    static HRESULT STDMETHODCALLTYPE ElementPutInnerText(IHTMLElement* self, BSTR text)
    {
        auto* element = Self<BrowserElement>(self);
        HRESULT hr = element->Begin(L"put_innerText", TextOf(text));
        if (SUCCEEDED(hr)) element->innerText = TextOf(text);
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE ElementPutInnerHtml(IHTMLElement* self, BSTR html)
    {
        auto* element = Self<BrowserElement>(self);
        HRESULT hr = element->Begin(L"put_innerHTML", TextOf(html));
        if (SUCCEEDED(hr)) element->innerHTML = TextOf(html);
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE ElementGetStyle(IHTMLElement* self, IHTMLStyle** out)
    {
        auto* element = Self<BrowserElement>(self);
        HRESULT hr = element->Begin(L"get_style");
        return FAILED(hr) ? hr : GiveFace(element->Style().get(), 0, out);
    }

    static HRESULT STDMETHODCALLTYPE ElementFocus(IHTMLElement2* self)
    {
        auto* element = Self<BrowserElement>(self);
        HRESULT hr = element->Begin(L"focus");
        if (SUCCEEDED(hr)) ++element->focusCount;
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE NodeAppendChild(IHTMLDOMNode* self, IHTMLDOMNode* child, IHTMLDOMNode** out)
    {
        auto* element = Self<BrowserElement>(self);
        if (out) *out = nullptr;
        HRESULT hr = element->Begin(L"appendChild");
        if (FAILED(hr)) return hr;
        if (!child || child->lpVtbl != &NodeTable()) {
            ADD_FAILURE() << "appendChild of a node that is not a BrowserElement";
            return E_INVALIDARG;
        }
        auto* appended = Self<BrowserElement>(child);
        appended->AddRef();
        element->children.push_back(BrowserPtr<BrowserElement>::Adopt(appended));
        return GiveFace(appended, kNodeFace, out);
    }

    static HRESULT STDMETHODCALLTYPE FormSubmit(IHTMLFormElement* self)
    {
        auto* element = Self<BrowserElement>(self);
        HRESULT hr = element->Begin(L"submit");
        if (SUCCEEDED(hr)) ++element->submitCount;
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE HiddenGetValue(IHTMLInputHiddenElement* self, BSTR* out)
    {
        auto* element = Self<BrowserElement>(self);
        HRESULT hr = element->Begin(L"get_value");
        return FAILED(hr) ? hr : CopyText(element->value, out);
    }

    // Identity, tooltip, text-edit flag and event handler properties of an element.
    static HRESULT STDMETHODCALLTYPE ElementGetId(IHTMLElement* self, BSTR* out)
    {
        auto* element = Self<BrowserElement>(self);
        HRESULT hr = element->Begin(L"get_id");
        return FAILED(hr) ? hr : CopyText(element->id, out);
    }

    static HRESULT STDMETHODCALLTYPE ElementGetClassName(IHTMLElement* self, BSTR* out)
    {
        auto* element = Self<BrowserElement>(self);
        HRESULT hr = element->Begin(L"get_className");
        return FAILED(hr) ? hr : CopyText(element->className, out);
    }

    static HRESULT STDMETHODCALLTYPE ElementGetTitle(IHTMLElement* self, BSTR* out)
    {
        auto* element = Self<BrowserElement>(self);
        HRESULT hr = element->Begin(L"get_title");
        return FAILED(hr) ? hr : CopyText(element->title, out);
    }

    static HRESULT STDMETHODCALLTYPE ElementPutTitle(IHTMLElement* self, BSTR title)
    {
        auto* element = Self<BrowserElement>(self);
        HRESULT hr = element->Begin(L"put_title", TextOf(title));
        if (SUCCEEDED(hr)) element->title = TextOf(title);
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE ElementGetIsTextEdit(IHTMLElement* self, VARIANT_BOOL* out)
    {
        auto* element = Self<BrowserElement>(self);
        if (!out) return E_POINTER;
        HRESULT hr = element->Begin(L"get_isTextEdit");
        if (SUCCEEDED(hr)) *out = element->isTextEdit ? VARIANT_TRUE : VARIANT_FALSE;
        return hr;
    }

    static HRESULT GetHandler(BrowserElement* element, const wchar_t* event, VARIANT* out)
    {
        if (!out) return E_POINTER;
        VariantInit(out);
        HRESULT hr = element->Begin(std::wstring(L"get_") + event);
        if (FAILED(hr)) return hr;
        // The browser answers VT_NULL for an event without a handler.
        V_VT(out) = VT_NULL;
        if (IDispatch* handler = element->Handler(event)) {
            handler->lpVtbl->AddRef(handler);
            V_VT(out) = VT_DISPATCH;
            V_DISPATCH(out) = handler;
        }
        return S_OK;
    }

    static HRESULT PutHandler(BrowserElement* element, const wchar_t* event, VARIANT value)
    {
        HRESULT hr = element->Begin(std::wstring(L"put_") + event, DescribeVariant(value).text);
        if (FAILED(hr)) return hr;
        if (V_VT(&value) == VT_DISPATCH)
            element->SetHandler(event, V_DISPATCH(&value));
        else if (V_VT(&value) == VT_NULL || V_VT(&value) == VT_EMPTY)
            element->SetHandler(event, nullptr);
        else
            return E_INVALIDARG;
        return S_OK;
    }

    static HRESULT STDMETHODCALLTYPE ElementGetOnclick(IHTMLElement* self, VARIANT* out)
    {
        return GetHandler(Self<BrowserElement>(self), L"onclick", out);
    }
    static HRESULT STDMETHODCALLTYPE ElementPutOnclick(IHTMLElement* self, VARIANT value)
    {
        return PutHandler(Self<BrowserElement>(self), L"onclick", value);
    }
    static HRESULT STDMETHODCALLTYPE ElementGetOndragenter(IHTMLElement2* self, VARIANT* out)
    {
        return GetHandler(Self<BrowserElement>(self), L"ondragenter", out);
    }
    static HRESULT STDMETHODCALLTYPE ElementPutOndragenter(IHTMLElement2* self, VARIANT value)
    {
        return PutHandler(Self<BrowserElement>(self), L"ondragenter", value);
    }
    static HRESULT STDMETHODCALLTYPE ElementGetOndragover(IHTMLElement2* self, VARIANT* out)
    {
        return GetHandler(Self<BrowserElement>(self), L"ondragover", out);
    }
    static HRESULT STDMETHODCALLTYPE ElementPutOndragover(IHTMLElement2* self, VARIANT value)
    {
        return PutHandler(Self<BrowserElement>(self), L"ondragover", value);
    }
    static HRESULT STDMETHODCALLTYPE ElementGetOndrop(IHTMLElement2* self, VARIANT* out)
    {
        return GetHandler(Self<BrowserElement>(self), L"ondrop", out);
    }
    static HRESULT STDMETHODCALLTYPE ElementPutOndrop(IHTMLElement2* self, VARIANT value)
    {
        return PutHandler(Self<BrowserElement>(self), L"ondrop", value);
    }

    static const IHTMLElementVtbl& ElementTable()
    {
        static const IHTMLElementVtbl table = [] {
            auto t = FailingTable<IHTMLElementVtbl, IHTMLElement>();
            t.get_innerText = &ElementGetInnerText;
            t.put_innerText = &ElementPutInnerText;
            t.put_innerHTML = &ElementPutInnerHtml;
            t.get_style = &ElementGetStyle;
            t.get_id = &ElementGetId;
            t.get_className = &ElementGetClassName;
            t.get_title = &ElementGetTitle;
            t.put_title = &ElementPutTitle;
            t.get_isTextEdit = &ElementGetIsTextEdit;
            t.get_onclick = &ElementGetOnclick;
            t.put_onclick = &ElementPutOnclick;
            return t;
        }();
        return table;
    }

    static const IHTMLElement2Vtbl& Element2Table()
    {
        static const IHTMLElement2Vtbl table = [] {
            auto t = FailingTable<IHTMLElement2Vtbl, IHTMLElement2>();
            t.focus = &ElementFocus;
            t.createControlRange = &ElementCreateControlRange;
            t.get_ondragenter = &ElementGetOndragenter;
            t.put_ondragenter = &ElementPutOndragenter;
            t.get_ondragover = &ElementGetOndragover;
            t.put_ondragover = &ElementPutOndragover;
            t.get_ondrop = &ElementGetOndrop;
            t.put_ondrop = &ElementPutOndrop;
            return t;
        }();
        return table;
    }

    // The kind interfaces of text areas, buttons and links: only their presence is asked.
    template <typename Table, typename Interface>
    static const Table& KindTable()
    {
        static const Table table = FailingTable<Table, Interface>();
        return table;
    }

    // --- element collection --------------------------------------------------------------
    static HRESULT STDMETHODCALLTYPE CollectionGetLength(IHTMLElementCollection* self, LONG* out)
    {
        auto* collection = Self<BrowserCollection>(self);
        if (!out) return E_POINTER;
        HRESULT hr = collection->Begin(L"get_length");
        if (SUCCEEDED(hr)) *out = static_cast<LONG>(collection->elements.size());
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE CollectionItem(IHTMLElementCollection* self, VARIANT name, VARIANT index,
                                                    IDispatch** out)
    {
        auto* collection = Self<BrowserCollection>(self);
        if (!out) return E_POINTER;
        *out = nullptr;
        HRESULT hr = collection->Begin(L"item", DescribeVariant(name).text);
        if (FAILED(hr)) return hr;
        VARIANT position;
        VariantInit(&position);
        if (FAILED(VariantChangeType(&position, &name, 0, VT_I4))) {
            ADD_FAILURE() << "collection item asked by name, not by position";
            return E_INVALIDARG;
        }
        (void)index;
        const LONG at = V_I4(&position);
        // Past the end the browser answers success with no element.
        if (at < 0 || static_cast<size_t>(at) >= collection->elements.size()) return S_OK;
        return GiveFace(collection->elements[static_cast<size_t>(at)].get(), 0, reinterpret_cast<IHTMLElement**>(out));
    }

    static HRESULT STDMETHODCALLTYPE CollectionTags(IHTMLElementCollection* self, VARIANT tag, IDispatch** out)
    {
        auto* collection = Self<BrowserCollection>(self);
        if (!out) return E_POINTER;
        *out = nullptr;
        HRESULT hr = collection->Begin(L"tags", DescribeVariant(tag).text);
        if (FAILED(hr)) return hr;
        if (V_VT(&tag) != VT_BSTR) return E_INVALIDARG;
        std::vector<BrowserPtr<BrowserElement>> found;
        for (const auto& element : collection->elements)
            if (_wcsicmp(element->tag.c_str(), TextOf(V_BSTR(&tag)).c_str()) == 0) found.push_back(element);
        auto filtered = BrowserCollection::Create(std::move(found));
        return GiveFace(filtered.get(), 0, reinterpret_cast<IHTMLElementCollection**>(out));
    }

    static const IHTMLElementCollectionVtbl& CollectionTable()
    {
        static const IHTMLElementCollectionVtbl table = [] {
            auto t = FailingTable<IHTMLElementCollectionVtbl, IHTMLElementCollection>();
            t.get_length = &CollectionGetLength;
            t.item = &CollectionItem;
            t.tags = &CollectionTags;
            return t;
        }();
        return table;
    }

    // --- event and data transfer ---------------------------------------------------------
    static HRESULT STDMETHODCALLTYPE EventGetSrcElement(IHTMLEventObj* self, IHTMLElement** out)
    {
        auto* event = Self<BrowserEvent>(self);
        HRESULT hr = event->Begin(L"get_srcElement");
        if (FAILED(hr)) return hr;
        if (event->picture) return GiveFace(event->picture.get(), 0, out);
        return GiveFace(event->srcElement.get(), 0, out);
    }

    static HRESULT STDMETHODCALLTYPE EventGetScreenX(IHTMLEventObj* self, LONG* out)
    {
        auto* event = Self<BrowserEvent>(self);
        if (!out) return E_POINTER;
        *out = event->screenX;
        return event->Begin(L"get_screenX");
    }

    static HRESULT STDMETHODCALLTYPE EventGetScreenY(IHTMLEventObj* self, LONG* out)
    {
        auto* event = Self<BrowserEvent>(self);
        if (!out) return E_POINTER;
        *out = event->screenY;
        return event->Begin(L"get_screenY");
    }

    static HRESULT STDMETHODCALLTYPE EventPutReturnValue(IHTMLEventObj* self, VARIANT value)
    {
        auto* event = Self<BrowserEvent>(self);
        HRESULT hr = event->Begin(L"put_returnValue", DescribeVariant(value).text);
        if (SUCCEEDED(hr)) event->returnValue = DescribeVariant(value);
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE EventGetClientX(IHTMLEventObj* self, LONG* out)
    {
        auto* event = Self<BrowserEvent>(self);
        if (!out) return E_POINTER;
        HRESULT hr = event->Begin(L"get_clientX");
        if (SUCCEEDED(hr)) *out = event->clientX;
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE EventGetClientY(IHTMLEventObj* self, LONG* out)
    {
        auto* event = Self<BrowserEvent>(self);
        if (!out) return E_POINTER;
        HRESULT hr = event->Begin(L"get_clientY");
        if (SUCCEEDED(hr)) *out = event->clientY;
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE EventGetDataTransfer(IHTMLEventObj2* self, IHTMLDataTransfer** out)
    {
        auto* event = Self<BrowserEvent>(self);
        HRESULT hr = event->Begin(L"get_dataTransfer");
        return FAILED(hr) ? hr : GiveFace(event->dataTransfer.get(), 0, out);
    }

    static const IHTMLEventObjVtbl& EventTable()
    {
        static const IHTMLEventObjVtbl table = [] {
            auto t = FailingTable<IHTMLEventObjVtbl, IHTMLEventObj>();
            t.get_srcElement = &EventGetSrcElement;
            t.put_returnValue = &EventPutReturnValue;
            t.get_clientX = &EventGetClientX;
            t.get_clientY = &EventGetClientY;
            t.get_screenX = &EventGetScreenX;
            t.get_screenY = &EventGetScreenY;
            return t;
        }();
        return table;
    }

    static const IHTMLEventObj2Vtbl& Event2Table()
    {
        static const IHTMLEventObj2Vtbl table = [] {
            auto t = FailingTable<IHTMLEventObj2Vtbl, IHTMLEventObj2>();
            t.get_dataTransfer = &EventGetDataTransfer;
            return t;
        }();
        return table;
    }

    static HRESULT STDMETHODCALLTYPE TransferPutDropEffect(IHTMLDataTransfer* self, BSTR effect)
    {
        auto* transfer = Self<BrowserDataTransfer>(self);
        HRESULT hr = transfer->Begin(L"put_dropEffect", TextOf(effect));
        if (SUCCEEDED(hr)) transfer->dropEffect = TextOf(effect);
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE TransferQueryService(IServiceProvider* self, REFGUID service, REFIID iid,
                                                          void** out)
    {
        auto* transfer = Self<BrowserDataTransfer>(self);
        if (!out) return E_POINTER;
        *out = nullptr;
        HRESULT hr = transfer->Begin(L"QueryService");
        if (FAILED(hr)) return hr;
        if (!IsEqualGUID(service, IID_IDataObject) || !transfer->data_) return E_NOINTERFACE;
        return transfer->data_->lpVtbl->QueryInterface(transfer->data_, iid, out);
    }

    static const IHTMLDataTransferVtbl& TransferTable()
    {
        static const IHTMLDataTransferVtbl table = [] {
            auto t = FailingTable<IHTMLDataTransferVtbl, IHTMLDataTransfer>();
            t.put_dropEffect = &TransferPutDropEffect;
            return t;
        }();
        return table;
    }

    static const IServiceProviderVtbl& TransferServiceTable()
    {
        static const IServiceProviderVtbl table = [] {
            auto t = FailingTable<IServiceProviderVtbl, IServiceProvider>();
            t.QueryService = &TransferQueryService;
            return t;
        }();
        return table;
    }

    static const IHTMLDOMNodeVtbl& NodeTable()
    {
        static const IHTMLDOMNodeVtbl table = [] {
            auto t = FailingTable<IHTMLDOMNodeVtbl, IHTMLDOMNode>();
            t.appendChild = &NodeAppendChild;
            return t;
        }();
        return table;
    }

    static const IHTMLFormElementVtbl& FormTable()
    {
        static const IHTMLFormElementVtbl table = [] {
            auto t = FailingTable<IHTMLFormElementVtbl, IHTMLFormElement>();
            t.submit = &FormSubmit;
            return t;
        }();
        return table;
    }

    static const IHTMLInputHiddenElementVtbl& HiddenTable()
    {
        static const IHTMLInputHiddenElementVtbl table = [] {
            auto t = FailingTable<IHTMLInputHiddenElementVtbl, IHTMLInputHiddenElement>();
            t.get_value = &HiddenGetValue;
            return t;
        }();
        return table;
    }

    static const size_t kNodeFace = 2;

    // --- document ----------------------------------------------------------------------
    static HRESULT STDMETHODCALLTYPE DocumentGetParentWindow(IHTMLDocument2* self, IHTMLWindow2** out)
    {
        auto* document = Self<BrowserDocument>(self);
        HRESULT hr = document->Begin(L"get_parentWindow");
        if (FAILED(hr)) return hr;
        if (!document->window_) {
            if (out) *out = nullptr;
            return E_FAIL;
        }
        return GiveFace(document->window_, 0, out);
    }

    static HRESULT STDMETHODCALLTYPE DocumentGetBody(IHTMLDocument2* self, IHTMLElement** out)
    {
        auto* document = Self<BrowserDocument>(self);
        HRESULT hr = document->Begin(L"get_body");
        return FAILED(hr) ? hr : GiveFace(document->hasBody ? document->body.get() : nullptr, 0, out);
    }

    static void CollectAll(const std::vector<BrowserPtr<BrowserElement>>& elements,
                           std::vector<BrowserPtr<BrowserElement>>& all)
    {
        for (const auto& element : elements) {
            all.push_back(element);
            CollectAll(element->children, all);
        }
    }

    static HRESULT STDMETHODCALLTYPE DocumentGetAll(IHTMLDocument2* self, IHTMLElementCollection** out)
    {
        auto* document = Self<BrowserDocument>(self);
        HRESULT hr = document->Begin(L"get_all");
        if (FAILED(hr)) return hr;
        std::vector<BrowserPtr<BrowserElement>> all;
        if (document->hasBody) CollectAll({document->body}, all);
        CollectAll(document->elements_, all);
        return GiveFace(BrowserCollection::Create(std::move(all)).get(), 0, out);
    }

    static HRESULT STDMETHODCALLTYPE DocumentElementFromPoint(IHTMLDocument2* self, LONG x, LONG y, IHTMLElement** out)
    {
        auto* document = Self<BrowserDocument>(self);
        const std::wstring point = std::to_wstring(x) + L"," + std::to_wstring(y);
        HRESULT hr = document->Begin(L"elementFromPoint", point);
        if (FAILED(hr)) return hr;
        document->pointsAsked.push_back(point);
        return GiveFace(document->pointed.get(), 0, out);
    }

    static HRESULT STDMETHODCALLTYPE DocumentCreateElement(IHTMLDocument2* self, BSTR tag, IHTMLElement** out)
    {
        auto* document = Self<BrowserDocument>(self);
        HRESULT hr = document->Begin(L"createElement", TextOf(tag));
        if (FAILED(hr)) return hr;
        auto element = BrowserElement::Create(TextOf(tag));
        document->created.push_back(element);
        return GiveFace(element.get(), 0, out);
    }

    static HRESULT STDMETHODCALLTYPE DocumentGetElementById(IHTMLDocument3* self, BSTR id, IHTMLElement** out)
    {
        auto* document = Self<BrowserDocument>(self);
        HRESULT hr = document->Begin(L"getElementById", TextOf(id));
        // A missing element is a success with no element, as in the browser.
        return FAILED(hr) ? hr : GiveFace(document->FindById(TextOf(id)), 0, out);
    }

    static HRESULT STDMETHODCALLTYPE DocumentGetUrl(IHTMLDocument2* self, BSTR* out)
    {
        auto* document = Self<BrowserDocument>(self);
        HRESULT hr = document->Begin(L"get_URL");
        return FAILED(hr) ? hr : CopyText(document->url, out);
    }

    static HRESULT STDMETHODCALLTYPE DocumentGetCookie(IHTMLDocument2* self, BSTR* out)
    {
        auto* document = Self<BrowserDocument>(self);
        HRESULT hr = document->Begin(L"get_cookie");
        return FAILED(hr) ? hr : CopyText(document->CookieText(), out);
    }

    static HRESULT STDMETHODCALLTYPE DocumentPutCookie(IHTMLDocument2* self, BSTR text)
    {
        auto* document = Self<BrowserDocument>(self);
        const std::wstring assignment = TextOf(text);
        HRESULT hr = document->Begin(L"put_cookie", assignment);
        if (FAILED(hr)) return hr;
        const std::wstring pair = assignment.substr(0, assignment.find(L';'));
        const size_t equals = pair.find(L'=');
        if (equals == std::wstring::npos || equals == 0) return S_OK;  // the browser ignores it
        const std::wstring name = pair.substr(0, equals), value = pair.substr(equals + 1);
        for (auto& cookie : document->cookies) {
            if (cookie.first == name) {
                cookie.second = value;
                return S_OK;
            }
        }
        document->cookies.emplace_back(name, value);
        return S_OK;
    }

    static HRESULT STDMETHODCALLTYPE DocumentGetLocation(IHTMLDocument2* self, IHTMLLocation** out)
    {
        auto* document = Self<BrowserDocument>(self);
        HRESULT hr = document->Begin(L"get_location");
        return FAILED(hr) ? hr : GiveFace(BrowserLocation::Create(document->url).get(), 0, out);
    }

    static HRESULT STDMETHODCALLTYPE LocationGetHref(IHTMLLocation* self, BSTR* out)
    {
        auto* location = Self<BrowserLocation>(self);
        HRESULT hr = location->Begin(L"get_href");
        return FAILED(hr) ? hr : CopyText(location->href, out);
    }

    static const IHTMLLocationVtbl& LocationTable()
    {
        static const IHTMLLocationVtbl table = [] {
            auto t = FailingTable<IHTMLLocationVtbl, IHTMLLocation>();
            t.get_href = &LocationGetHref;
            return t;
        }();
        return table;
    }

    static const IHTMLDocument2Vtbl& DocumentTable()
    {
        static const IHTMLDocument2Vtbl table = [] {
            auto t = FailingTable<IHTMLDocument2Vtbl, IHTMLDocument2>();
            t.get_cookie = &DocumentGetCookie;
            t.put_cookie = &DocumentPutCookie;
            t.get_location = &DocumentGetLocation;
            t.get_URL = &DocumentGetUrl;
            t.get_parentWindow = &DocumentGetParentWindow;
            t.get_body = &DocumentGetBody;
            t.createElement = &DocumentCreateElement;
            t.get_images = &DocumentGetImages;
            t.get_all = &DocumentGetAll;
            t.elementFromPoint = &DocumentElementFromPoint;
            return t;
        }();
        return table;
    }

    static const IHTMLDocument3Vtbl& Document3Table()
    {
        static const IHTMLDocument3Vtbl table = [] {
            auto t = FailingTable<IHTMLDocument3Vtbl, IHTMLDocument3>();
            t.getElementById = &DocumentGetElementById;
            return t;
        }();
        return table;
    }

    // --- window ----------------------------------------------------------------------------
    static const DISPID kFirstFunctionId = 1000;

    static HRESULT STDMETHODCALLTYPE WindowGetIDsOfNames(IHTMLWindow2* self, REFIID, LPOLESTR* names, UINT count,
                                                         LCID locale, DISPID* ids)
    {
        auto* window = Self<BrowserWindow>(self);
        if (!names || !ids || count != 1) {
            ADD_FAILURE() << "window name look-up with " << count << " names";
            return E_INVALIDARG;
        }
        std::wstring name = names[0] ? names[0] : L"";
        HRESULT hr = window->Begin(L"GetIDsOfNames", name);
        if (FAILED(hr)) return hr;
        window->lookupLocales.push_back(locale);
        for (size_t i = 0; i < window->functions_.size(); ++i) {
            if (window->functions_[i].first == name) {
                ids[0] = kFirstFunctionId + static_cast<DISPID>(i);
                return S_OK;
            }
        }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }

    static HRESULT STDMETHODCALLTYPE WindowInvoke(IHTMLWindow2* self, DISPID id, REFIID, LCID, WORD flags,
                                                  DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*)
    {
        auto* window = Self<BrowserWindow>(self);
        HRESULT hr = window->Begin(L"Invoke");
        if (FAILED(hr)) return hr;
        const size_t index = static_cast<size_t>(id - kFirstFunctionId);
        if (id < kFirstFunctionId || index >= window->functions_.size() || !(flags & DISPATCH_PROPERTYGET) ||
            !result) {
            ADD_FAILURE() << "window invoked with id " << id << " and flags " << flags;
            return DISP_E_MEMBERNOTFOUND;
        }
        VariantInit(result);
        V_VT(result) = VT_DISPATCH;
        IDispatch* function = nullptr;
        GiveFace(window->functions_[index].second.get(), 0, &function);
        V_DISPATCH(result) = function;
        return S_OK;
    }

    static HRESULT STDMETHODCALLTYPE WindowNavigate(IHTMLWindow2* self, BSTR url)
    {
        return Self<BrowserWindow>(self)->Begin(L"navigate", TextOf(url));
    }

    static HRESULT STDMETHODCALLTYPE WindowGetDocument(IHTMLWindow2* self, IHTMLDocument2** out)
    {
        auto* window = Self<BrowserWindow>(self);
        HRESULT hr = window->Begin(L"get_document");
        return FAILED(hr) ? hr : GiveFace(window->document.get(), 0, out);
    }

    static HRESULT STDMETHODCALLTYPE WindowGetEvent(IHTMLWindow2* self, IHTMLEventObj** out)
    {
        auto* window = Self<BrowserWindow>(self);
        HRESULT hr = window->Begin(L"get_event");
        return FAILED(hr) ? hr : GiveFace(window->event.get(), 0, out);
    }

    static const IHTMLWindow2Vtbl& WindowTable()
    {
        static const IHTMLWindow2Vtbl table = [] {
            auto t = FailingTable<IHTMLWindow2Vtbl, IHTMLWindow2>();
            t.get_event = &WindowGetEvent;
            t.GetIDsOfNames = &WindowGetIDsOfNames;
            t.Invoke = &WindowInvoke;
            t.navigate = &WindowNavigate;
            t.get_document = &WindowGetDocument;
            return t;
        }();
        return table;
    }

    // --- pictures, window events and control ranges ------------------------------------------
    static HRESULT STDMETHODCALLTYPE PictureGetSrc(IHTMLImgElement* self, BSTR* out)
    {
        auto* picture = Self<BrowserPicture>(self);
        HRESULT hr = picture->Begin(L"get_src");
        return FAILED(hr) ? hr : CopyText(picture->src, out);
    }

    static HRESULT STDMETHODCALLTYPE PictureGetComplete(IHTMLImgElement* self, VARIANT_BOOL* out)
    {
        auto* picture = Self<BrowserPicture>(self);
        HRESULT hr = picture->Begin(L"get_complete");
        if (FAILED(hr)) return hr;
        if (!out) return E_POINTER;
        *out = picture->complete ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    static HRESULT STDMETHODCALLTYPE PictureGetWidth(IHTMLImgElement* self, LONG* out)
    {
        auto* picture = Self<BrowserPicture>(self);
        HRESULT hr = picture->Begin(L"get_width");
        if (FAILED(hr)) return hr;
        if (!out) return E_POINTER;
        *out = picture->width;
        return S_OK;
    }

    static HRESULT STDMETHODCALLTYPE PictureGetHeight(IHTMLImgElement* self, LONG* out)
    {
        auto* picture = Self<BrowserPicture>(self);
        HRESULT hr = picture->Begin(L"get_height");
        if (FAILED(hr)) return hr;
        if (!out) return E_POINTER;
        *out = picture->height;
        return S_OK;
    }

    static const IHTMLElementVtbl& PictureElementTable()
    {
        static const IHTMLElementVtbl table = FailingTable<IHTMLElementVtbl, IHTMLElement>();
        return table;
    }

    static const IHTMLImgElementVtbl& PictureTable()
    {
        static const IHTMLImgElementVtbl table = [] {
            auto t = FailingTable<IHTMLImgElementVtbl, IHTMLImgElement>();
            t.get_src = &PictureGetSrc;
            t.get_complete = &PictureGetComplete;
            t.get_width = &PictureGetWidth;
            t.get_height = &PictureGetHeight;
            return t;
        }();
        return table;
    }

    static const IHTMLControlElementVtbl& ControlTable()
    {
        static const IHTMLControlElementVtbl table = FailingTable<IHTMLControlElementVtbl, IHTMLControlElement>();
        return table;
    }


    static HRESULT STDMETHODCALLTYPE ElementCreateControlRange(IHTMLElement2* self, IDispatch** out)
    {
        auto* element = Self<BrowserElement>(self);
        HRESULT hr = element->Begin(L"createControlRange");
        if (FAILED(hr)) return hr;
        auto range = BrowserPtr<BrowserControlRange>::Adopt(new BrowserControlRange());
        return GiveFace(range.get(), 0, reinterpret_cast<IHTMLControlRange**>(out));
    }

    static HRESULT STDMETHODCALLTYPE RangeAdd(IHTMLControlRange* self, IHTMLControlElement* item)
    {
        auto* range = Self<BrowserControlRange>(self);
        HRESULT hr = range->Begin(L"add");
        if (FAILED(hr)) return hr;
        if (!item || item->lpVtbl != &ControlTable()) {
            ADD_FAILURE() << "control range given an element that is not a BrowserPicture";
            return E_INVALIDARG;
        }
        auto* picture = Self<BrowserPicture>(item);
        picture->AddRef();
        range->pictures.push_back(BrowserPtr<BrowserPicture>::Adopt(picture));
        return S_OK;
    }

    // Puts a bitmap of the picture's size on the clipboard, as a browser copy does.
    static bool PutPictureOnClipboard(const BrowserPicture& picture)
    {
        if (!picture.complete || picture.width <= 0 || picture.height <= 0) return false;
        HDC screen = GetDC(nullptr);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, picture.width, picture.height);
        ReleaseDC(nullptr, screen);
        if (!bitmap) return false;
        // A clipboard emptied without an owning window refuses new data.
        static HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        if (!OpenClipboard(owner)) {
            DeleteObject(bitmap);
            return false;
        }
        EmptyClipboard();
        const bool put = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
        if (!put) DeleteObject(bitmap);
        CloseClipboard();
        return put;
    }

    static HRESULT STDMETHODCALLTYPE RangeExecCommand(IHTMLControlRange* self, BSTR command, VARIANT_BOOL showUi,
                                                      VARIANT, VARIANT_BOOL* done)
    {
        auto* range = Self<BrowserControlRange>(self);
        HRESULT hr = range->Begin(L"execCommand", TextOf(command));
        if (FAILED(hr)) return hr;
        EXPECT_EQ(VARIANT_FALSE, showUi);
        range->commands.push_back(TextOf(command));
        bool copied = false;
        if (TextOf(command) == L"Copy" && range->pictures.size() == 1) copied = PutPictureOnClipboard(*range->pictures[0]);
        if (done) *done = copied ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    static const IHTMLControlRangeVtbl& RangeTable()
    {
        static const IHTMLControlRangeVtbl table = [] {
            auto t = FailingTable<IHTMLControlRangeVtbl, IHTMLControlRange>();
            t.add = &RangeAdd;
            t.execCommand = &RangeExecCommand;
            return t;
        }();
        return table;
    }

    static HRESULT STDMETHODCALLTYPE DocumentGetImages(IHTMLDocument2* self, IHTMLElementCollection** out)
    {
        auto* document = Self<BrowserDocument>(self);
        HRESULT hr = document->Begin(L"get_images");
        if (FAILED(hr)) return hr;
        auto collection = BrowserPtr<BrowserPictureCollection>::Adopt(new BrowserPictureCollection());
        collection->pictures = document->images;
        return GiveFace(collection.get(), 0, out);
    }

    static HRESULT STDMETHODCALLTYPE PictureCollectionGetLength(IHTMLElementCollection* self, LONG* out)
    {
        auto* collection = Self<BrowserPictureCollection>(self);
        HRESULT hr = collection->Begin(L"get_length");
        if (FAILED(hr)) return hr;
        if (!out) return E_POINTER;
        *out = static_cast<LONG>(collection->pictures.size());
        return S_OK;
    }

    static HRESULT STDMETHODCALLTYPE PictureCollectionItem(IHTMLElementCollection* self, VARIANT name, VARIANT index,
                                                    IDispatch** out)
    {
        auto* collection = Self<BrowserPictureCollection>(self);
        HRESULT hr = collection->Begin(L"item");
        if (FAILED(hr)) return hr;
        if (!out) return E_POINTER;
        *out = nullptr;
        if (V_VT(&name) != VT_I4) {
            ADD_FAILURE() << "collection item asked by a name of type " << V_VT(&name);
            return E_INVALIDARG;
        }
        const LONG at = V_I4(&name);
        if (at < 0 || static_cast<size_t>(at) >= collection->pictures.size()) return S_OK;
        return GiveFace(collection->pictures[static_cast<size_t>(at)].get(), 0, reinterpret_cast<IHTMLElement**>(out));
    }

    static const IHTMLElementCollectionVtbl& PictureCollectionTable()
    {
        static const IHTMLElementCollectionVtbl table = [] {
            auto t = FailingTable<IHTMLElementCollectionVtbl, IHTMLElementCollection>();
            t.get_length = &PictureCollectionGetLength;
            t.item = &PictureCollectionItem;
            return t;
        }();
        return table;
    }

    // --- browser ---------------------------------------------------------------------------
    static HRESULT STDMETHODCALLTYPE BrowserNavigate(IWebBrowser2* self, BSTR url, VARIANT* flags, VARIANT* frame,
                                                     VARIANT* postData, VARIANT* headers)
    {
        auto* browser = Self<BrowserWebBrowser>(self);
        HRESULT hr = browser->Begin(L"Navigate", TextOf(url));
        if (FAILED(hr)) return hr;
        BrowserWebBrowser::Navigation navigation;
        navigation.url = TextOf(url);
        if (flags) navigation.flags = DescribeVariant(*flags);
        if (frame) navigation.targetFrame = DescribeVariant(*frame);
        if (headers) navigation.headers = DescribeVariant(*headers);
        if (postData) {
            navigation.postDataType = V_VT(postData);
            if (V_VT(postData) == (VT_ARRAY | VT_UI1) && V_ARRAY(postData)) {
                SAFEARRAY* array = V_ARRAY(postData);
                void* bytes = nullptr;
                if (SUCCEEDED(SafeArrayAccessData(array, &bytes))) {
                    navigation.postData.assign(static_cast<const char*>(bytes), array->rgsabound[0].cElements);
                    SafeArrayUnaccessData(array);
                }
            }
        }
        browser->navigations.push_back(std::move(navigation));
        return S_OK;
    }

    static HRESULT STDMETHODCALLTYPE BrowserPutVisible(IWebBrowser2* self, VARIANT_BOOL visible)
    {
        auto* browser = Self<BrowserWebBrowser>(self);
        HRESULT hr = browser->Begin(L"put_Visible", visible ? L"true" : L"false");
        if (SUCCEEDED(hr)) browser->visible = visible != VARIANT_FALSE;
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE BrowserGetVisible(IWebBrowser2* self, VARIANT_BOOL* visible)
    {
        auto* browser = Self<BrowserWebBrowser>(self);
        if (!visible) return E_POINTER;
        HRESULT hr = browser->Begin(L"get_Visible");
        if (SUCCEEDED(hr)) *visible = browser->visible ? VARIANT_TRUE : VARIANT_FALSE;
        return hr;
    }

    static const size_t kConnectionPointFace = 2;

    static HRESULT STDMETHODCALLTYPE BrowserFindConnectionPoint(IConnectionPointContainer* self, REFIID iid,
                                                                IConnectionPoint** out)
    {
        auto* browser = Self<BrowserWebBrowser>(self);
        if (!out) return E_POINTER;
        *out = nullptr;
        HRESULT hr = browser->Begin(L"FindConnectionPoint");
        if (FAILED(hr)) return hr;
        if (!IsEqualIID(iid, DIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
        return GiveFace(browser, kConnectionPointFace, out);
    }

    // The browser asks a sink for the event interface, then for IDispatch.
    static HRESULT STDMETHODCALLTYPE BrowserAdvise(IConnectionPoint* self, IUnknown* sink, DWORD* cookie)
    {
        auto* browser = Self<BrowserWebBrowser>(self);
        if (!cookie) return E_POINTER;
        *cookie = 0;
        HRESULT hr = browser->Begin(L"Advise");
        if (FAILED(hr)) return hr;
        IDispatch* events = nullptr;
        if (!sink || (FAILED(sink->lpVtbl->QueryInterface(sink, DIID_DWebBrowserEvents2, reinterpret_cast<void**>(&events))) &&
                      FAILED(sink->lpVtbl->QueryInterface(sink, IID_IDispatch, reinterpret_cast<void**>(&events)))))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = browser->nextSinkCookie_++;
        browser->sinks_.emplace_back(*cookie, events);
        return S_OK;
    }

    static HRESULT STDMETHODCALLTYPE BrowserUnadvise(IConnectionPoint* self, DWORD cookie)
    {
        auto* browser = Self<BrowserWebBrowser>(self);
        HRESULT hr = browser->Begin(L"Unadvise", std::to_wstring(cookie));
        if (FAILED(hr)) return hr;
        for (auto it = browser->sinks_.begin(); it != browser->sinks_.end(); ++it) {
            if (it->first == cookie) {
                IDispatch* events = static_cast<IDispatch*>(it->second);
                browser->sinks_.erase(it);
                events->lpVtbl->Release(events);
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }

    static const IConnectionPointContainerVtbl& ContainerTable()
    {
        static const IConnectionPointContainerVtbl table = [] {
            auto t = FailingTable<IConnectionPointContainerVtbl, IConnectionPointContainer>();
            t.FindConnectionPoint = &BrowserFindConnectionPoint;
            return t;
        }();
        return table;
    }

    static const IConnectionPointVtbl& ConnectionPointTable()
    {
        static const IConnectionPointVtbl table = [] {
            auto t = FailingTable<IConnectionPointVtbl, IConnectionPoint>();
            t.Advise = &BrowserAdvise;
            t.Unadvise = &BrowserUnadvise;
            return t;
        }();
        return table;
    }

    static HRESULT STDMETHODCALLTYPE BrowserGetHwnd(IWebBrowser2* self, SHANDLE_PTR* window)
    {
        auto* browser = Self<BrowserWebBrowser>(self);
        if (!window) return E_POINTER;
        HRESULT hr = browser->Begin(L"get_HWND");
        if (SUCCEEDED(hr)) *window = reinterpret_cast<SHANDLE_PTR>(browser->window);
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE BrowserGetLocationUrl(IWebBrowser2* self, BSTR* url)
    {
        auto* browser = Self<BrowserWebBrowser>(self);
        if (!url) return E_POINTER;
        *url = nullptr;
        HRESULT hr = browser->Begin(L"get_LocationURL");
        if (SUCCEEDED(hr)) *url = SysAllocString(browser->locationUrl.c_str());
        return hr;
    }

    static HRESULT STDMETHODCALLTYPE BrowserRefresh2(IWebBrowser2* self, VARIANT* level)
    {
        auto* browser = Self<BrowserWebBrowser>(self);
        return browser->Begin(L"Refresh2", level ? DescribeVariant(*level).text : std::wstring());
    }

    static HRESULT STDMETHODCALLTYPE BrowserShowBrowserBar(IWebBrowser2* self, VARIANT* bar, VARIANT* show, VARIANT*)
    {
        auto* browser = Self<BrowserWebBrowser>(self);
        return browser->Begin(L"ShowBrowserBar", (bar ? DescribeVariant(*bar).text : std::wstring()) + L" " +
                                                     (show ? DescribeVariant(*show).text : std::wstring()));
    }

    static HRESULT STDMETHODCALLTYPE BrowserQuit(IWebBrowser2* self)
    {
        return Self<BrowserWebBrowser>(self)->Begin(L"Quit");
    }

    static HRESULT STDMETHODCALLTYPE BrowserGetDocument(IWebBrowser2* self, IDispatch** document)
    {
        auto* browser = Self<BrowserWebBrowser>(self);
        if (!document) return E_POINTER;
        *document = nullptr;
        HRESULT hr = browser->Begin(L"get_Document");
        if (FAILED(hr) || !browser->document) return hr;
        return browser->document->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(document));
    }

    // --- site ----------------------------------------------------------------------------------
    static HRESULT STDMETHODCALLTYPE SiteQueryService(IServiceProvider* self, REFGUID service, REFIID iid,
                                                      void** out)
    {
        auto* site = Self<BrowserSite>(self);
        if (!out) return E_POINTER;
        *out = nullptr;
        HRESULT hr = site->Begin(L"QueryService");
        if (FAILED(hr)) return hr;
        // Other services are optional to their askers: refused quietly.
        if (!IsEqualGUID(service, SID_SContainerDispatch) || !site->document) return E_NOINTERFACE;
        return site->document->QueryInterface(iid, out);
    }

    static const IServiceProviderVtbl& SiteTable()
    {
        static const IServiceProviderVtbl table = [] {
            auto t = FailingTable<IServiceProviderVtbl, IServiceProvider>();
            t.QueryService = &SiteQueryService;
            return t;
        }();
        return table;
    }

    static const IWebBrowser2Vtbl& BrowserTable()
    {
        static const IWebBrowser2Vtbl table = [] {
            auto t = FailingTable<IWebBrowser2Vtbl, IWebBrowser2>();
            t.Navigate = &BrowserNavigate;
            t.put_Visible = &BrowserPutVisible;
            t.get_Visible = &BrowserGetVisible;
            t.get_HWND = &BrowserGetHwnd;
            t.get_LocationURL = &BrowserGetLocationUrl;
            t.Refresh2 = &BrowserRefresh2;
            t.get_Document = &BrowserGetDocument;
            t.ShowBrowserBar = &BrowserShowBrowserBar;
            t.Quit = &BrowserQuit;
            return t;
        }();
        return table;
    }
};

// --- BrowserObject ------------------------------------------------------------------------

BrowserObject::BrowserObject(const char* kind) : kind_(kind) {}

ULONG BrowserObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG BrowserObject::Release()
{
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HRESULT BrowserObject::QueryInterface(const IID& iid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    size_t face = kMaxFaces;
    // IUnknown and IDispatch are the first interface: the object's identity.
    if (!interfaces_.empty() && (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)))
        face = interfaces_.front().second;
    for (const auto& entry : interfaces_)
        if (IsEqualIID(iid, entry.first)) face = entry.second;
    if (face == kMaxFaces) {
        for (const auto& forward : forwards_)
            if (IsEqualIID(iid, forward.first)) return forward.second->QueryInterface(iid, object);
        return E_NOINTERFACE;
    }
    AddRef();
    *object = &faces_[face];
    return S_OK;
}

void BrowserObject::AddFace(const IID& iid, size_t index, const void* table, const char* name)
{
    faces_[index].table = table;
    faces_[index].owner = this;
    faces_[index].name = name;
    interfaces_.emplace_back(iid, index);
}

size_t BrowserObject::CallCount(const std::wstring& method) const
{
    size_t count = 0;
    for (const std::wstring& call : calls)
        if (call == method || call.compare(0, method.size() + 1, method + L" ") == 0) ++count;
    return count;
}

void BrowserObject::FailCall(const std::wstring& method, HRESULT hr)
{
    if (SUCCEEDED(hr))
        failures_.erase(method);
    else
        failures_[method] = hr;
}

HRESULT BrowserObject::Begin(const std::wstring& method, const std::wstring& argument)
{
    calls.push_back(argument.empty() ? method : method + L" " + argument);
    auto failure = failures_.find(method);
    return failure == failures_.end() ? S_OK : failure->second;
}

// --- the doubles ---------------------------------------------------------------------------

BrowserScriptFunction::BrowserScriptFunction() : BrowserObject("BrowserScriptFunction")
{
    AddFace(IID_IDispatch, 0, &BrowserTables::FunctionTable(), "IDispatch");
}

BrowserPtr<BrowserScriptFunction> BrowserScriptFunction::Create()
{
    return BrowserPtr<BrowserScriptFunction>::Adopt(new BrowserScriptFunction());
}

BrowserStyle::BrowserStyle() : BrowserObject("BrowserStyle")
{
    AddFace(IID_IHTMLStyle, 0, &BrowserTables::StyleTable(), "IHTMLStyle");
    AddFace(IID_IHTMLStyle2, 1, &BrowserTables::Style2Table(), "IHTMLStyle2");
}

BrowserPtr<BrowserStyle> BrowserStyle::Create() { return BrowserPtr<BrowserStyle>::Adopt(new BrowserStyle()); }

BrowserElement::BrowserElement(const std::wstring& tag_, Type type_)
    : BrowserObject("BrowserElement"), tag(tag_), type(type_)
{
    AddFace(IID_IHTMLElement, 0, &BrowserTables::ElementTable(), "IHTMLElement");
    AddFace(IID_IHTMLElement2, 1, &BrowserTables::Element2Table(), "IHTMLElement2");
    AddFace(IID_IHTMLDOMNode, BrowserTables::kNodeFace, &BrowserTables::NodeTable(), "IHTMLDOMNode");
    if (type == Type::Form) AddFace(IID_IHTMLFormElement, 3, &BrowserTables::FormTable(), "IHTMLFormElement");
    if (type == Type::HiddenInput)
        AddFace(IID_IHTMLInputHiddenElement, 4, &BrowserTables::HiddenTable(), "IHTMLInputHiddenElement");
    if (type == Type::TextArea) {
        AddFace(IID_IHTMLTextAreaElement, 3,
                &BrowserTables::KindTable<IHTMLTextAreaElementVtbl, IHTMLTextAreaElement>(), "IHTMLTextAreaElement");
        isTextEdit = true;
    }
    if (type == Type::InputButton)
        AddFace(IID_IHTMLInputButtonElement, 3,
                &BrowserTables::KindTable<IHTMLInputButtonElementVtbl, IHTMLInputButtonElement>(),
                "IHTMLInputButtonElement");
    if (type == Type::Button)
        AddFace(IID_IHTMLButtonElement, 3, &BrowserTables::KindTable<IHTMLButtonElementVtbl, IHTMLButtonElement>(),
                "IHTMLButtonElement");
    if (type == Type::Anchor)
        AddFace(IID_IHTMLAnchorElement, 3, &BrowserTables::KindTable<IHTMLAnchorElementVtbl, IHTMLAnchorElement>(),
                "IHTMLAnchorElement");
}

BrowserElement::~BrowserElement()
{
    for (auto& handler : handlers_) handler.second->lpVtbl->Release(handler.second);
    if (frame_) frame_->Release();
}

BrowserPtr<BrowserElement> BrowserElement::Create(const std::wstring& tag, Type type)
{
    return BrowserPtr<BrowserElement>::Adopt(new BrowserElement(tag, type));
}

BrowserPtr<BrowserElement> BrowserElement::CreateFrame(const BrowserPtr<BrowserWebBrowser>& frame)
{
    auto element = Create(L"iframe", Type::Frame);
    frame->AddRef();
    element->frame_ = frame.get();
    element->Forward(IID_IWebBrowser2, frame.get());
    return element;
}

IDispatch* BrowserElement::Handler(const std::wstring& event) const
{
    auto found = handlers_.find(event);
    return found == handlers_.end() ? nullptr : found->second;
}

void BrowserElement::SetHandler(const std::wstring& event, IDispatch* handler)
{
    if (handler) handler->lpVtbl->AddRef(handler);
    IDispatch* old = Handler(event);
    if (handler)
        handlers_[event] = handler;
    else
        handlers_.erase(event);
    if (old) old->lpVtbl->Release(old);
}

HRESULT BrowserElement::Fire(const std::wstring& event, ScriptValue* answer)
{
    if (answer) *answer = ScriptValue();
    IDispatch* handler = Handler(event);
    if (!handler) return S_FALSE;
    // The call may replace the handler: hold it for the call.
    handler->lpVtbl->AddRef(handler);
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = handler->lpVtbl->Invoke(handler, DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                               &none, &result, nullptr, nullptr);
    if (answer) *answer = DescribeVariant(result);
    VariantClear(&result);
    handler->lpVtbl->Release(handler);
    return hr;
}

BrowserCollection::BrowserCollection(std::vector<BrowserPtr<BrowserElement>> elements_)
    : BrowserObject("BrowserCollection"), elements(std::move(elements_))
{
    AddFace(IID_IHTMLElementCollection, 0, &BrowserTables::CollectionTable(), "IHTMLElementCollection");
}

BrowserPtr<BrowserCollection> BrowserCollection::Create(std::vector<BrowserPtr<BrowserElement>> elements)
{
    return BrowserPtr<BrowserCollection>::Adopt(new BrowserCollection(std::move(elements)));
}

BrowserDataTransfer::BrowserDataTransfer(IUnknown* data) : BrowserObject("BrowserDataTransfer"), data_(data)
{
    if (data_) data_->lpVtbl->AddRef(data_);
    AddFace(IID_IHTMLDataTransfer, 0, &BrowserTables::TransferTable(), "IHTMLDataTransfer");
    AddFace(IID_IServiceProvider, 1, &BrowserTables::TransferServiceTable(), "IServiceProvider");
}

BrowserDataTransfer::~BrowserDataTransfer()
{
    if (data_) data_->lpVtbl->Release(data_);
}

BrowserPtr<BrowserDataTransfer> BrowserDataTransfer::Create(IUnknown* data)
{
    return BrowserPtr<BrowserDataTransfer>::Adopt(new BrowserDataTransfer(data));
}

BrowserEvent::BrowserEvent() : BrowserObject("BrowserEvent")
{
    AddFace(IID_IHTMLEventObj, 0, &BrowserTables::EventTable(), "IHTMLEventObj");
    AddFace(IID_IHTMLEventObj2, 1, &BrowserTables::Event2Table(), "IHTMLEventObj2");
}

BrowserPtr<BrowserEvent> BrowserEvent::Create() { return BrowserPtr<BrowserEvent>::Adopt(new BrowserEvent()); }

BrowserPtr<BrowserStyle> BrowserElement::Style()
{
    if (!style_) style_ = BrowserStyle::Create();
    return style_;
}

BrowserDocument::BrowserDocument() : BrowserObject("BrowserDocument"), body(BrowserElement::Create(L"body"))
{
    AddFace(IID_IHTMLDocument2, 0, &BrowserTables::DocumentTable(), "IHTMLDocument2");
    AddFace(IID_IHTMLDocument3, 1, &BrowserTables::Document3Table(), "IHTMLDocument3");
}

BrowserPtr<BrowserDocument> BrowserDocument::Create()
{
    return BrowserPtr<BrowserDocument>::Adopt(new BrowserDocument());
}

namespace {

BrowserElement* FindIn(const std::vector<BrowserPtr<BrowserElement>>& elements, const std::wstring& id)
{
    for (const auto& element : elements) {
        if (element->id == id) return element.get();
        if (BrowserElement* found = FindIn(element->children, id)) return found;
    }
    return nullptr;
}

}  // namespace

void BrowserDocument::Unload()
{
    std::vector<BrowserPtr<BrowserElement>> all;
    BrowserTables::CollectAll({body}, all);
    BrowserTables::CollectAll(elements_, all);
    for (const auto& element : all)
        for (const wchar_t* event : {L"onclick", L"ondragenter", L"ondragover", L"ondrop"})
            element->SetHandler(event, nullptr);
}

BrowserElement* BrowserDocument::FindById(const std::wstring& id) const
{
    if (id.empty()) return nullptr;
    if (BrowserElement* found = FindIn({body}, id)) return found;
    return FindIn(elements_, id);
}

void BrowserDocument::SetCookies(const std::wstring& text)
{
    cookies.clear();
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(L';', at);
        if (end == std::wstring::npos) end = text.size();
        std::wstring pair = text.substr(at, end - at);
        pair.erase(0, pair.find_first_not_of(L' '));
        const size_t equals = pair.find(L'=');
        if (equals != std::wstring::npos) cookies.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
        at = end + 1;
    }
}

std::wstring BrowserDocument::CookieText() const
{
    std::wstring text;
    for (const auto& cookie : cookies) text += (text.empty() ? L"" : L"; ") + cookie.first + L"=" + cookie.second;
    return text;
}

std::wstring BrowserDocument::Cookie(const std::wstring& name) const
{
    for (const auto& cookie : cookies)
        if (cookie.first == name) return cookie.second;
    return std::wstring();
}

BrowserLocation::BrowserLocation() : BrowserObject("BrowserLocation")
{
    AddFace(IID_IHTMLLocation, 0, &BrowserTables::LocationTable(), "IHTMLLocation");
}

BrowserPtr<BrowserLocation> BrowserLocation::Create(const std::wstring& href)
{
    auto location = BrowserPtr<BrowserLocation>::Adopt(new BrowserLocation());
    location->href = href;
    return location;
}

BrowserWindow::BrowserWindow() : BrowserObject("BrowserWindow")
{
    AddFace(IID_IHTMLWindow2, 0, &BrowserTables::WindowTable(), "IHTMLWindow2");
}

BrowserPtr<BrowserWindow> BrowserWindow::Create() { return BrowserPtr<BrowserWindow>::Adopt(new BrowserWindow()); }

BrowserPtr<BrowserScriptFunction> BrowserWindow::AddFunction(const std::wstring& name)
{
    auto function = BrowserScriptFunction::Create();
    functions_.emplace_back(name, function);
    return function;
}

BrowserPage BrowserPage::Create()
{
    BrowserPage page{BrowserWindow::Create(), BrowserDocument::Create()};
    page.window->document = page.document;
    page.document->SetWindow(page.window.get());
    return page;
}

BrowserPtr<BrowserWebBrowser> BrowserPage::ShowIn(const std::wstring& url) const
{
    auto browser = BrowserWebBrowser::Create();
    browser->document = document;
    browser->locationUrl = url;
    document->url = url;
    return browser;
}

BrowserSite::BrowserSite() : BrowserObject("BrowserSite")
{
    AddFace(IID_IServiceProvider, 0, &BrowserTables::SiteTable(), "IServiceProvider");
}

BrowserPtr<BrowserSite> BrowserSite::Create(const BrowserPtr<BrowserDocument>& document)
{
    auto site = BrowserPtr<BrowserSite>::Adopt(new BrowserSite());
    site->document = document;
    return site;
}

BrowserWebBrowser::BrowserWebBrowser() : BrowserObject("BrowserWebBrowser")
{
    AddFace(IID_IWebBrowser2, 0, &BrowserTables::BrowserTable(), "IWebBrowser2");
    AddFace(IID_IConnectionPointContainer, 1, &BrowserTables::ContainerTable(), "IConnectionPointContainer");
    AddFace(IID_IConnectionPoint, BrowserTables::kConnectionPointFace, &BrowserTables::ConnectionPointTable(),
            "IConnectionPoint");
}

BrowserWebBrowser::~BrowserWebBrowser()
{
    for (auto& sink : sinks_) static_cast<IDispatch*>(sink.second)->lpVtbl->Release(static_cast<IDispatch*>(sink.second));
}

HRESULT BrowserWebBrowser::FireDocumentComplete(BrowserObject& frame, const std::wstring& url)
{
    // A sink may unadvise while it is called: call a held copy of the list.
    auto sinks = sinks_;
    for (auto& sink : sinks) static_cast<IDispatch*>(sink.second)->lpVtbl->AddRef(static_cast<IDispatch*>(sink.second));
    IDispatch* frameDispatch = nullptr;
    frame.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&frameDispatch));
    HRESULT hr = CONNECT_E_NOCONNECTION;
    for (auto& sink : sinks) {
        IDispatch* events = static_cast<IDispatch*>(sink.second);
        VARIANT address;
        VariantInit(&address);
        V_VT(&address) = VT_BSTR;
        V_BSTR(&address) = SysAllocStringLen(url.c_str(), static_cast<UINT>(url.size()));
        VARIANTARG args[2];  // in reverse order: the address, then the frame
        VariantInit(&args[0]);
        V_VT(&args[0]) = VT_VARIANT | VT_BYREF;
        V_VARIANTREF(&args[0]) = &address;
        VariantInit(&args[1]);
        V_VT(&args[1]) = VT_DISPATCH;
        V_DISPATCH(&args[1]) = frameDispatch;
        DISPPARAMS params{args, nullptr, 2, 0};
        hr = events->lpVtbl->Invoke(events, DISPID_DOCUMENTCOMPLETE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                    &params, nullptr, nullptr, nullptr);
        VariantClear(&address);
        events->lpVtbl->Release(events);
    }
    if (frameDispatch) frameDispatch->lpVtbl->Release(frameDispatch);
    return hr;
}

BrowserPtr<BrowserWebBrowser> BrowserWebBrowser::Create()
{
    return BrowserPtr<BrowserWebBrowser>::Adopt(new BrowserWebBrowser());
}

BrowserPicture::BrowserPicture() : BrowserObject("BrowserPicture")
{
    AddFace(IID_IHTMLElement, 0, &BrowserTables::PictureElementTable(), "IHTMLElement");
    AddFace(IID_IHTMLImgElement, 1, &BrowserTables::PictureTable(), "IHTMLImgElement");
    AddFace(IID_IHTMLControlElement, 2, &BrowserTables::ControlTable(), "IHTMLControlElement");
}

BrowserPtr<BrowserPicture> BrowserPicture::Create(const std::wstring& src, int width, int height)
{
    auto picture = BrowserPtr<BrowserPicture>::Adopt(new BrowserPicture());
    picture->src = src;
    picture->width = width;
    picture->height = height;
    return picture;
}

BrowserPtr<BrowserEvent> BrowserEvent::Create(const BrowserPtr<BrowserPicture>& picture, LONG x, LONG y)
{
    auto event = Create();
    event->picture = picture;
    event->screenX = x;
    event->screenY = y;
    return event;
}

BrowserControlRange::BrowserControlRange() : BrowserObject("BrowserControlRange")
{
    AddFace(IID_IHTMLControlRange, 0, &BrowserTables::RangeTable(), "IHTMLControlRange");
}

BrowserPictureCollection::BrowserPictureCollection() : BrowserObject("BrowserPictureCollection")
{
    AddFace(IID_IHTMLElementCollection, 0, &BrowserTables::PictureCollectionTable(), "IHTMLElementCollection");
}

ScriptValue DescribeVariant(const VARIANT& value)
{
    ScriptValue described{V_VT(&value), {}};
    switch (V_VT(&value)) {
    case VT_BSTR: described.text = TextOf(V_BSTR(&value)); break;
    case VT_BOOL: described.text = V_BOOL(&value) ? L"true" : L"false"; break;
    case VT_I4: described.text = std::to_wstring(V_I4(&value)); break;
    case VT_UI4: described.text = std::to_wstring(V_UI4(&value)); break;
    case VT_I8: described.text = std::to_wstring(V_I8(&value)); break;
    case VT_UNKNOWN: described.text = V_UNKNOWN(&value) ? L"<object>" : L"<null>"; break;
    case VT_DISPATCH: described.text = V_DISPATCH(&value) ? L"<object>" : L"<null>"; break;
    default: break;
    }
    return described;
}

}  // namespace vptest

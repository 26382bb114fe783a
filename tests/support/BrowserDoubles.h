// Test doubles of the browser objects the product talks to: page elements
// (text fields, forms, the hidden cookie input), styles, documents, windows
// with their script functions, and the browser itself. Each records the calls
// it gets, answers with what the test scripted, and fails the test on any
// call of its interfaces that it does not implement.
//
//   auto page = vptest::BrowserPage::Create();
//   auto done = page.window->AddFunction(L"uploadComplete");
//   ... code under test gets Query<IHTMLDocument2>(*page.document) ...
//   EXPECT_EQ(1u, done->invocations.size());
//
// The objects are plain C++ objects that carry their own COM interface
// tables; the implementation builds those tables from the C declarations of
// the interfaces, so this header states no interface types except in the
// helpers at its end.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vptest {

class BrowserObject;

// One COM interface of a double: its function table and its object.
struct BrowserFace {
    const void* table = nullptr;
    BrowserObject* owner = nullptr;
    const char* name = "";
};

// Owning reference to a double; the interfaces handed out hold their own.
template <typename T>
class BrowserPtr {
public:
    BrowserPtr() = default;
    // Takes over the reference of a new object.
    static BrowserPtr Adopt(T* object)
    {
        BrowserPtr p;
        p.object_ = object;
        return p;
    }
    BrowserPtr(const BrowserPtr& other) : object_(other.object_)
    {
        if (object_) object_->AddRef();
    }
    BrowserPtr& operator=(BrowserPtr other)
    {
        std::swap(object_, other.object_);
        return *this;
    }
    ~BrowserPtr()
    {
        if (object_) object_->Release();
    }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

// Reference count, interface table, call record and scripted failures.
class BrowserObject {
public:
    BrowserObject(const BrowserObject&) = delete;
    BrowserObject& operator=(const BrowserObject&) = delete;

    ULONG AddRef();
    ULONG Release();
    // QueryInterface over the double's interfaces; E_NOINTERFACE (not a
    // failure) for everything else, as COM asks for many optional interfaces.
    HRESULT QueryInterface(const IID& iid, void** object);
    ULONG References() const { return references_; }
    const char* Kind() const { return kind_; }

    // Every implemented call, in order: its name and, where it has one, a
    // blank and its text argument ("put_innerText some text").
    std::vector<std::wstring> calls;
    // Number of recorded calls whose name is method.
    size_t CallCount(const std::wstring& method) const;

    // Scripts the answer of method: it still records the call, then returns hr
    // without doing anything else. Stays until changed; S_OK clears it.
    void FailCall(const std::wstring& method, HRESULT hr);

    // For the implementation: records a call and returns its scripted answer.
    HRESULT Begin(const std::wstring& method, const std::wstring& argument = std::wstring());
    // For the implementation: the double behind one of its interface pointers.
    static BrowserObject* FromInterface(void* face) { return static_cast<BrowserFace*>(face)->owner; }
    void* Face(size_t index) { return &faces_[index]; }

protected:
    explicit BrowserObject(const char* kind);
    virtual ~BrowserObject() = default;
    // Declares interface iid as the face at index with the given table.
    void AddFace(const IID& iid, size_t index, const void* table, const char* name);
    // Answers QueryInterface for iid with that interface of other (not owned:
    // the caller keeps it alive), as a frame element answers for its browser.
    void Forward(const IID& iid, BrowserObject* other) { forwards_.emplace_back(iid, other); }

private:
    static const size_t kMaxFaces = 6;
    BrowserFace faces_[kMaxFaces];
    std::vector<std::pair<IID, size_t>> interfaces_;
    std::vector<std::pair<IID, BrowserObject*>> forwards_;
    std::map<std::wstring, HRESULT> failures_;
    LONG references_ = 1;
    const char* kind_;
};

// A script value as the doubles see it: its type and a text form (texts as
// they are, numbers in decimal, booleans "true"/"false", objects "<object>"
// or "<null>").
struct ScriptValue {
    VARTYPE type = VT_EMPTY;
    std::wstring text;
    bool operator==(const ScriptValue& other) const { return type == other.type && text == other.text; }
};

// What a script function answers one call with.
struct ScriptAnswer {
    HRESULT hr = S_OK;
    ScriptValue value;  // VT_EMPTY, VT_BOOL ("true"/"false"), VT_BSTR or VT_I4
    static ScriptAnswer Bool(bool value) { return {S_OK, {VT_BOOL, value ? L"true" : L"false"}}; }
    static ScriptAnswer Text(const std::wstring& text) { return {S_OK, {VT_BSTR, text}}; }
    static ScriptAnswer Failure(HRESULT hr) { return {hr, {}}; }
};

// A page script function: a dispatch object whose default member is called
// as a method.
class BrowserScriptFunction : public BrowserObject {
public:
    static BrowserPtr<BrowserScriptFunction> Create();

    struct Invocation {
        LCID locale;
        std::vector<ScriptValue> arguments;  // in script order
    };
    std::vector<Invocation> invocations;
    // Answers of the next calls, in order; without one a call answers S_OK
    // and an empty value, as a script function without return does.
    std::deque<ScriptAnswer> answers;

private:
    BrowserScriptFunction();
    friend struct BrowserTables;
};

class BrowserStyle : public BrowserObject {
public:
    static BrowserPtr<BrowserStyle> Create();
    std::wstring visibility;
    std::wstring position;

private:
    BrowserStyle();
    friend struct BrowserTables;
};

class BrowserWebBrowser;

// A page element. Every element is an IHTMLElement, IHTMLElement2 and
// IHTMLDOMNode; a form is also an IHTMLFormElement, a hidden input an
// IHTMLInputHiddenElement, a text area an IHTMLTextAreaElement, an input
// button an IHTMLInputButtonElement, a button an IHTMLButtonElement, a link
// an IHTMLAnchorElement, and a frame answers for the browser it shows.
class BrowserElement : public BrowserObject {
public:
    enum class Type { Plain, Form, HiddenInput, TextArea, InputButton, Button, Anchor, Frame };
    static BrowserPtr<BrowserElement> Create(const std::wstring& tag, Type type = Type::Plain);
    // An "iframe" element showing frame.
    static BrowserPtr<BrowserElement> CreateFrame(const BrowserPtr<BrowserWebBrowser>& frame);

    const std::wstring tag;
    const Type type;
    std::wstring id;
    std::wstring className;
    std::wstring title;
    bool isTextEdit = false;
    std::wstring innerText;
    std::wstring innerHTML;
    std::wstring value;  // of a hidden input
    int focusCount = 0;
    int submitCount = 0;
    std::vector<BrowserPtr<BrowserElement>> children;  // appended with appendChild

    BrowserPtr<BrowserStyle> Style();
    // Event handler properties ("onclick", "ondragenter", "ondragover",
    // "ondrop"): what the page or the product set, null when none.
    IDispatch* Handler(const std::wstring& event) const;
    // Sets a handler as the page's own script would.
    void SetHandler(const std::wstring& event, IDispatch* handler);
    // Fires the event as the browser does: calls the handler set for it (the
    // test sets the window's event first). S_FALSE when none is set. The
    // handler's result (a VT_BOOL false cancels the browser's default action)
    // goes to result when given.
    HRESULT Fire(const std::wstring& event, ScriptValue* result = nullptr);

private:
    BrowserElement(const std::wstring& tag, Type type);
    ~BrowserElement() override;
    BrowserPtr<BrowserStyle> style_;
    BrowserObject* frame_ = nullptr;  // holds a reference
    std::map<std::wstring, IDispatch*> handlers_;  // each holds a reference
    friend struct BrowserTables;
};

// A list of elements (IHTMLElementCollection), as document.all and its tags() give.
class BrowserCollection : public BrowserObject {
public:
    static BrowserPtr<BrowserCollection> Create(std::vector<BrowserPtr<BrowserElement>> elements);
    const std::vector<BrowserPtr<BrowserElement>> elements;

private:
    explicit BrowserCollection(std::vector<BrowserPtr<BrowserElement>> elements);
    friend struct BrowserTables;
};

// The dataTransfer of a drag event (IHTMLDataTransfer) that serves the
// dragged OLE data object through IServiceProvider, as the browser's does.
class BrowserDataTransfer : public BrowserObject {
public:
    // data: the IDataObject served (a reference is kept); null serves none.
    static BrowserPtr<BrowserDataTransfer> Create(IUnknown* data);
    std::wstring dropEffect;

private:
    explicit BrowserDataTransfer(IUnknown* data);
    ~BrowserDataTransfer() override;
    IUnknown* data_;
    friend struct BrowserTables;
};

// The window's current event (IHTMLEventObj, IHTMLEventObj2).
class BrowserPicture;

class BrowserEvent : public BrowserObject {
public:
    static BrowserPtr<BrowserEvent> Create();
    // A right-click on picture at the screen position x, y.
    static BrowserPtr<BrowserEvent> Create(const BrowserPtr<BrowserPicture>& picture, LONG x, LONG y);
    LONG clientX = 0, clientY = 0;
    LONG screenX = 0, screenY = 0;
    // The source element: the picture when there is one, else srcElement.
    BrowserPtr<BrowserPicture> picture;
    BrowserPtr<BrowserElement> srcElement;
    BrowserPtr<BrowserDataTransfer> dataTransfer;
    // As put_returnValue left it; VT_EMPTY until set.
    ScriptValue returnValue;

private:
    BrowserEvent();
    friend struct BrowserTables;
};

class BrowserWindow;
class BrowserPicture;

// A document (IHTMLDocument2, IHTMLDocument3) with a body element.
class BrowserDocument : public BrowserObject {
public:
    static BrowserPtr<BrowserDocument> Create();

    BrowserPtr<BrowserElement> body;
    // The page's address (get_URL).
    std::wstring url;
    // Elements created through createElement, in order.
    std::vector<BrowserPtr<BrowserElement>> created;
    // Found by getElementById (besides the body and what was appended to it).
    void AddElement(const BrowserPtr<BrowserElement>& element) { elements_.push_back(element); }
    // The window answered by get_parentWindow (none: E_FAIL).
    void SetWindow(BrowserWindow* window) { window_ = window; }
    // The pictures of get_images, in document order.
    std::vector<BrowserPtr<BrowserPicture>> images;

    // The page's cookie jar, in the order the cookies were set. The cookie
    // property reads it as "a=1; b=2"; writing "name=value; attributes" sets
    // or replaces one cookie (attributes are dropped).
    std::vector<std::pair<std::wstring, std::wstring>> cookies;
    void SetCookies(const std::wstring& text);  // replaces the jar by "a=1; b=2"
    std::wstring CookieText() const;
    // The value of cookie name; empty when the jar has none.
    std::wstring Cookie(const std::wstring& name) const;
    // What elementFromPoint finds, wherever the point is (none: null), and
    // the points asked for ("x,y").
    BrowserPtr<BrowserElement> pointed;
    std::vector<std::wstring> pointsAsked;
    // Whether the document has a body (get_body answers null without).
    bool hasBody = true;
    // Drops the event handlers of all its elements, as the browser does when
    // the page goes away.
    void Unload();

private:
    BrowserDocument();
    BrowserElement* FindById(const std::wstring& id) const;
    std::vector<BrowserPtr<BrowserElement>> elements_;
    BrowserWindow* window_ = nullptr;  // not owned: the window holds the document
    friend struct BrowserTables;
};

// A page window (IHTMLWindow2) that is also the page's script object: a
// script function is found by name as a property whose value is the
// function object.
class BrowserWindow : public BrowserObject {
public:
    static BrowserPtr<BrowserWindow> Create();

    BrowserPtr<BrowserScriptFunction> AddFunction(const std::wstring& name);
    // Locales of the name look-ups, in order.
    std::vector<LCID> lookupLocales;
    BrowserPtr<BrowserDocument> document;
    // The current event (get_event; none: null).
    BrowserPtr<BrowserEvent> event;

private:
    BrowserWindow();
    std::vector<std::pair<std::wstring, BrowserPtr<BrowserScriptFunction>>> functions_;
    friend struct BrowserTables;
};

// The document's location object (IHTMLLocation), made on each get_location
// from the document's address.
class BrowserLocation : public BrowserObject {
public:
    static BrowserPtr<BrowserLocation> Create(const std::wstring& href);
    std::wstring href;

private:
    BrowserLocation();
    friend struct BrowserTables;
};

// A window and its document, each knowing the other.
struct BrowserPage {
    BrowserPtr<BrowserWindow> window;
    BrowserPtr<BrowserDocument> document;
    static BrowserPage Create();
    // A new browser showing this page at url (the document's and the browser's address).
    BrowserPtr<BrowserWebBrowser> ShowIn(const std::wstring& url) const;
};

// The site a page hands an object that its script created (IServiceProvider):
// it serves the page's document as the container's dispatch object.
class BrowserSite : public BrowserObject {
public:
    static BrowserPtr<BrowserSite> Create(const BrowserPtr<BrowserDocument>& document);
    BrowserPtr<BrowserDocument> document;

private:
    BrowserSite();
    friend struct BrowserTables;
};

// The browser (IWebBrowser2).
class BrowserWebBrowser : public BrowserObject {
public:
    static BrowserPtr<BrowserWebBrowser> Create();

    struct Navigation {
        std::wstring url;
        ScriptValue flags, targetFrame, headers;
        VARTYPE postDataType = VT_EMPTY;
        std::string postData;  // the bytes of a VT_ARRAY | VT_UI1 post data
    };
    std::vector<Navigation> navigations;
    bool visible = false;
    // Answers of get_HWND, get_LocationURL and get_Document (none: a null document).
    HWND window = nullptr;
    std::wstring locationUrl;
    BrowserPtr<BrowserDocument> document;

    // The browser's event connection (DWebBrowserEvents2) through its
    // IConnectionPointContainer: sinks advised there and not yet unadvised.
    size_t SinkCount() const { return sinks_.size(); }
    // Fires DocumentComplete (dispatch id 259) as the browser does: through
    // the Invoke of every advised sink, with the browser object of the frame
    // whose document completed and its address. The last sink's answer.
    HRESULT FireDocumentComplete(BrowserObject& frame, const std::wstring& url);

private:
    BrowserWebBrowser();
    ~BrowserWebBrowser() override;
    std::vector<std::pair<DWORD, void*>> sinks_;  // cookie and IDispatch, each holding a reference
    DWORD nextSinkCookie_ = 1;
    friend struct BrowserTables;
};

// --- pictures, window events and control ranges (right-click menu) ------------------------

// A picture element (IHTMLElement, IHTMLImgElement, IHTMLControlElement),
// shown at width x height. A control range that holds it and runs "Copy" puts
// a bitmap of that size on the clipboard, as the browser does, when it is
// complete and has a size.
class BrowserPicture : public BrowserObject {
public:
    static BrowserPtr<BrowserPicture> Create(const std::wstring& src, int width, int height);
    std::wstring src;
    bool complete = true;
    int width = 0, height = 0;

private:
    BrowserPicture();
    friend struct BrowserTables;
};

// A control range (IHTMLControlRange) made by an element's createControlRange.
class BrowserControlRange : public BrowserObject {
public:
    std::vector<BrowserPtr<BrowserPicture>> pictures;
    std::vector<std::wstring> commands;

private:
    BrowserControlRange();
    friend struct BrowserTables;
};

// The pictures of a document as an element collection (IHTMLElementCollection).
class BrowserPictureCollection : public BrowserObject {
public:
    std::vector<BrowserPtr<BrowserPicture>> pictures;

private:
    BrowserPictureCollection();
    friend struct BrowserTables;
};

// Text form of a VARIANT, as the doubles record it.
ScriptValue DescribeVariant(const VARIANT& value);

}  // namespace vptest

#ifndef CINTERFACE
#include <wrl/client.h>

namespace vptest {

// Interface I of a double, with its own reference (null when it has none).
template <typename I>
Microsoft::WRL::ComPtr<I> Query(BrowserObject& object)
{
    Microsoft::WRL::ComPtr<I> result;
    object.QueryInterface(__uuidof(I), reinterpret_cast<void**>(result.GetAddressOf()));
    return result;
}

template <typename I, typename T>
Microsoft::WRL::ComPtr<I> Query(const BrowserPtr<T>& object)
{
    return Query<I>(*object);
}

}  // namespace vptest
#endif

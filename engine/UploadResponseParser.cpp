// Reading the service's answer to an upload (see UploadResponseParser.h).
#include "engine/UploadResponseParser.h"

#include <cwchar>

#include "common/LogWriter.h"
#include "engine/ResponseTextScan.h"

using Microsoft::WRL::ComPtr;

namespace {

// The reader that tells whether the answer is well-formed XML.
const CLSID kFirstDocumentClass = {0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
// The reader that answers the queries.
const CLSID kQueryDocumentClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

const IID kDocumentInterface = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kDocument2Interface = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// The service's answers nest four levels deep; readers that recurse per level
// are never given text that nests deeper than this.
constexpr std::size_t kMaxElementDepth = 64;

// Queries are built in a buffer of this many UTF-16 characters, NUL included.
constexpr std::size_t kQueryBufferChars = 256;

const char kParserCategory[] = "CUploadResponseParser";
const char kXmlCategory[] = "CUploadResponseParser::XMLDocumentParser";

// Owns one BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : value_(text ? SysAllocString(text) : nullptr) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }
    BSTR Get() const { return value_; }
    BSTR* Out()
    {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }

private:
    BSTR value_ = nullptr;
};

std::wstring FromBstr(BSTR value)
{
    return value ? std::wstring(value, SysStringLen(value)) : std::wstring();
}

bool ContainsNoCase(const wchar_t* text, const wchar_t* what)
{
    const std::size_t whatLength = std::wcslen(what);
    for (const wchar_t* at = text; *at; ++at) {
        if (_wcsnicmp(at, what, whatLength) == 0) return true;
    }
    return false;
}

}  // namespace

// --- CUploadResponseParser ----------------------------------------------------

CUploadResponseParser::CUploadResponseParser(const wchar_t* text)
{
    if (!text) return;
    parser_ = XMLDocumentParser::FromText(text);
    if (parser_) return;

    LogWriter log(kParserCategory);
    if (XMLDocumentParser::DeclaresDocumentType(text))
        log.Write("Document type declarations are not accepted");
    else if (XMLDocumentParser::NestsTooDeep(text))
        log.Format("Elements nested deeper than %u levels are not accepted",
                   static_cast<unsigned>(kMaxElementDepth));
    log.Write("Parsing XML as text:\n", text);
    parser_ = std::make_unique<TextParser>(text);
}

CUploadResponseParser::~CUploadResponseParser() = default;

// --- XMLDocumentParser ------------------------------------------------------------

bool CUploadResponseParser::XMLDocumentParser::DeclaresDocumentType(const wchar_t* text)
{
    return text && (ContainsNoCase(text, L"<!DOCTYPE") || ContainsNoCase(text, L"<!ENTITY"));
}

bool CUploadResponseParser::XMLDocumentParser::NestsTooDeep(const wchar_t* text)
{
    if (!text) return false;
    const std::u16string units(text, text + std::wcslen(text));
    return responsescan::NestsDeeperThan(units, kMaxElementDepth);
}

HRESULT CUploadResponseParser::XMLDocumentParser::LoadDocument(REFCLSID clsid, const wchar_t* text,
                                                               ComPtr<IXMLDOMDocument>& document)
{
    document.Reset();
    ComPtr<IXMLDOMDocument> created;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, kDocumentInterface,
                                  reinterpret_cast<void**>(created.GetAddressOf()));
    if (FAILED(hr)) return hr;
    document = created;

    // A reader that cannot be told to stay away from external resources is not
    // given the text at all.
    hr = created->put_resolveExternals(VARIANT_FALSE);
    if (FAILED(hr)) return hr;
    hr = created->put_validateOnParse(VARIANT_FALSE);
    if (FAILED(hr)) return hr;
    ComPtr<IXMLDOMDocument2> document2;
    if (SUCCEEDED(created->QueryInterface(kDocument2Interface, reinterpret_cast<void**>(document2.GetAddressOf())))) {
        VARIANT prohibit;
        VariantInit(&prohibit);
        prohibit.vt = VT_BOOL;
        prohibit.boolVal = VARIANT_TRUE;
        Bstr name(L"ProhibitDTD");
        // Older readers do not know the property; the text check below keeps
        // document type declarations out on its own.
        (void)document2->setProperty(name.Get(), prohibit);
        VARIANT depth;
        VariantInit(&depth);
        depth.vt = VT_I4;
        depth.lVal = static_cast<LONG>(kMaxElementDepth);
        Bstr depthName(L"MaxElementDepth");
        // Not every reader honours the limit; the depth check below holds it
        // on its own.
        (void)document2->setProperty(depthName.Get(), depth);
    }

    if (!text || DeclaresDocumentType(text) || NestsTooDeep(text)) return S_FALSE;
    Bstr source(text);
    if (!source.Get()) return E_OUTOFMEMORY;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    hr = created->loadXML(source.Get(), &loaded);
    if (FAILED(hr)) return hr;
    return loaded == VARIANT_TRUE ? S_OK : S_FALSE;
}

std::unique_ptr<CUploadResponseParser::XMLDocumentParser>
CUploadResponseParser::XMLDocumentParser::FromText(const wchar_t* text)
{
    ComPtr<IXMLDOMDocument> document;
    if (LoadDocument(kFirstDocumentClass, text, document) != S_OK) return nullptr;
    return std::make_unique<XMLDocumentParser>(document.Get());
}

CUploadResponseParser::XMLDocumentParser::XMLDocumentParser(IXMLDOMDocument* loaded)
{
    LogWriter log(kXmlCategory);
    Bstr xml;
    if (loaded && SUCCEEDED(loaded->get_xml(xml.Out())) && xml.Get())
        text_ = FromBstr(xml.Get());
    else
        log.Write("Cannot get XML...");

    ComPtr<IXMLDOMDocument> document;
    const HRESULT hr = LoadDocument(kQueryDocumentClass, text_ ? text_->c_str() : nullptr, document);
    if (!document) {
        log.Write("FAIL to create XML Document...");
        return;
    }
    if (hr != S_OK) {
        log.Write("Cannot parse XML...");
        return;
    }
    document_ = document;
    loaded_ = true;
}

CUploadResponseParser::Text CUploadResponseParser::XMLDocumentParser::GetDocumentText() const
{
    return text_;
}

CUploadResponseParser::Text CUploadResponseParser::XMLDocumentParser::GetValue(const wchar_t* path,
                                                                               const wchar_t* name) const
{
    if (!path || !name) return std::nullopt;
    std::wstring query(path);
    query.append(L"/").append(name).append(L"/text()");
    return Select(query.c_str());
}

CUploadResponseParser::Text CUploadResponseParser::XMLDocumentParser::GetAttribute(
    const wchar_t* path, const wchar_t* name, const wchar_t* attribute) const
{
    if (!path || !name || !attribute) return std::nullopt;
    std::wstring query(path);
    query.append(L"/").append(name).append(L"/@").append(attribute);
    return Select(query.c_str());
}

CUploadResponseParser::Text CUploadResponseParser::XMLDocumentParser::Select(const wchar_t* query) const
{
    // A query that does not fit the buffer would have been cut into another
    // query; it finds nothing instead.
    if (!loaded_ || std::wcslen(query) >= kQueryBufferChars) return std::nullopt;
    Bstr selection(query);
    ComPtr<IXMLDOMNode> node;
    if (!selection.Get() || document_->selectSingleNode(selection.Get(), &node) != S_OK || !node)
        return std::nullopt;

    VARIANT value;
    VariantInit(&value);
    Text result;
    if (SUCCEEDED(node->get_nodeValue(&value)) && value.vt == VT_BSTR)
        result = FromBstr(value.bstrVal);
    VariantClear(&value);
    return result;
}

// --- TextParser --------------------------------------------------------------------

CUploadResponseParser::TextParser::TextParser(const wchar_t* text)
    : text_(text, text + std::wcslen(text))
{
}

CUploadResponseParser::Text CUploadResponseParser::TextParser::GetDocumentText() const
{
    return std::wstring(text_.begin(), text_.end());
}

CUploadResponseParser::Text CUploadResponseParser::TextParser::GetValue(const wchar_t* path,
                                                                        const wchar_t* name) const
{
    if (!name) return std::nullopt;
    const std::u16string wanted(name, name + std::wcslen(name));
    const auto value = responsescan::FindElementValue(text_, wanted);
    if (!value) return std::nullopt;
    return std::wstring(value->begin(), value->end());
}

CUploadResponseParser::Text CUploadResponseParser::TextParser::GetAttribute(const wchar_t*, const wchar_t*,
                                                                            const wchar_t*) const
{
    return std::nullopt;
}

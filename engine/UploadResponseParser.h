// Reads the service's answer to an upload: as an XML document through the
// platform's DOM when the text is well-formed, otherwise with a plain text scan
// that finds the same elements. Used on the upload thread, inside its apartment.
#pragma once

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <memory>
#include <optional>
#include <string>

class CUploadResponseParser {
public:
    using Text = std::optional<std::wstring>;

    // One way of reading an answer. Every query answers absent when the value
    // is not there or cannot be read.
    class Parser {
    public:
        virtual ~Parser() = default;
        // The whole answer: re-serialised by the XML reader, or the raw text.
        virtual Text GetDocumentText() const = 0;
        // Text of the element name under path.
        virtual Text GetValue(const wchar_t* path, const wchar_t* name) const = 0;
        // Attribute of the element name under path.
        virtual Text GetAttribute(const wchar_t* path, const wchar_t* name,
                                  const wchar_t* attribute) const = 0;
    };

    class XMLDocumentParser;
    class TextParser;

    // Chooses the parser for text; there is none when text is null.
    explicit CUploadResponseParser(const wchar_t* text);
    ~CUploadResponseParser();
    CUploadResponseParser(const CUploadResponseParser&) = delete;
    CUploadResponseParser& operator=(const CUploadResponseParser&) = delete;

    // The chosen parser, or null.
    const Parser* GetParser() const { return parser_.get(); }

private:
    std::unique_ptr<Parser> parser_;
};

// Queries an XML document with single-node selections. Documents are loaded
// with document type definitions refused, external resources off and the
// element depth bounded, so that an answer can neither make the reader expand
// entities, fetch anything nor recurse without end.
class CUploadResponseParser::XMLDocumentParser : public Parser {
public:
    // Keeps the serialised text of a loaded document and reloads it into a
    // second document that answers the queries.
    explicit XMLDocumentParser(IXMLDOMDocument* loaded);

    // A parser on text when text is well-formed XML without a document type
    // declaration; null otherwise (no log line: the caller decides what a
    // failure means).
    static std::unique_ptr<XMLDocumentParser> FromText(const wchar_t* text);

    // Creates a document of class clsid with the safe settings and loads text.
    // S_OK when it loaded, S_FALSE when the text was refused or is not
    // well-formed, or the creation's failure.
    [[nodiscard]] static HRESULT LoadDocument(REFCLSID clsid, const wchar_t* text,
                                              Microsoft::WRL::ComPtr<IXMLDOMDocument>& document);

    // True when text declares a document type or entities; such answers are
    // never given to the XML reader.
    static bool DeclaresDocumentType(const wchar_t* text);

    // True when the elements of text nest deeper than the reader is allowed
    // to follow; such answers are read by the text scan instead.
    static bool NestsTooDeep(const wchar_t* text);

    Text GetDocumentText() const override;
    Text GetValue(const wchar_t* path, const wchar_t* name) const override;
    Text GetAttribute(const wchar_t* path, const wchar_t* name,
                      const wchar_t* attribute) const override;

    // False when the second document could not be made or loaded; such a
    // parser answers every query with absent.
    bool IsLoaded() const { return loaded_; }

private:
    Text Select(const wchar_t* query) const;

    Text text_;
    Microsoft::WRL::ComPtr<IXMLDOMDocument> document_;
    bool loaded_ = false;
};

// Finds elements by their opening and closing tags in the raw text; the path
// is ignored and attributes are never found.
class CUploadResponseParser::TextParser : public Parser {
public:
    explicit TextParser(const wchar_t* text);

    Text GetDocumentText() const override;
    Text GetValue(const wchar_t* path, const wchar_t* name) const override;
    Text GetAttribute(const wchar_t* path, const wchar_t* name,
                      const wchar_t* attribute) const override;

private:
    std::u16string text_;
};

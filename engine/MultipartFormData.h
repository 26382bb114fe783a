// The HTTP request of one item: a header block and a multipart/form-data body.
// File parts are not copied into memory: the body is a list of text pieces and
// open files, and the uploader reads it chunk by chunk with ReadBody, so memory
// use does not grow with the size of the files sent.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class File;

class CMultipartFormData {
public:
    // Boundary "B-O-U-N-D-A-R-Y%u%u" from the tick count and a number of the
    // system's cryptographic generator. Whenever a part about to be added
    // (its value, names or file name) holds the boundary, the form changes to
    // a new one throughout, so a value can never close its part early.
    CMultipartFormData();
    explicit CMultipartFormData(const std::string& boundary);
    ~CMultipartFormData();
    CMultipartFormData(const CMultipartFormData&) = delete;
    CMultipartFormData& operator=(const CMultipartFormData&) = delete;
    // The uploader takes the request over from the strategy that built it.
    CMultipartFormData(CMultipartFormData&&) noexcept;
    CMultipartFormData& operator=(CMultipartFormData&&) noexcept;

    // Appends a text part; name and value are narrow text.
    void AddField(const std::string& name, const std::string& value);
    // Appends a file part with the whole content of the open file, which the
    // request keeps open until it is destroyed. An empty file name means the
    // file's own name; a null content type means "application/octet-stream".
    // Quotes, CR, LF and NUL in the file name are sent as "_".
    // False when the file's size cannot be read (nothing is added then).
    bool AddFile(const std::string& name, std::unique_ptr<File> file, const char* contentType,
                 const std::string& fileName);

    const std::string& Boundary() const { return boundary_; }
    // "Content-type: multipart/form-data, boundary=...\r\nContent-length: <n>\r\n"
    std::wstring HeaderBlock() const;
    ULONGLONG BodySize() const { return size_; }

    // Copies body bytes [offset, offset + count) into buffer; copied tells how
    // many (fewer only at the end of the body). False when a file part cannot
    // be read in full (for example because it shrank since it was added).
    bool ReadBody(ULONGLONG offset, void* buffer, DWORD count, DWORD& copied);
    // The whole body in memory (small requests and tests).
    std::string BodyBytes();

private:
    struct Piece {
        std::string text;             // used when file is null
        std::shared_ptr<File> file;   // a file part's content
        ULONGLONG size = 0;
    };

    void KeepBoundaryOutOf(const std::string& text);
    void DropClosingLine();
    void AppendText(const std::string& text);
    void AppendClosingLine();

    std::string boundary_;
    std::string closingLine_;
    std::vector<Piece> pieces_;
    ULONGLONG size_ = 0;
    // Where the last read ended, so sequential reads find their piece at once.
    size_t cursorPiece_ = 0;
    ULONGLONG cursorStart_ = 0;
};

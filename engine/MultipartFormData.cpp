// Multipart request builder (see the header).
#include "engine/MultipartFormData.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <ntsecapi.h>

#include "common/Handle.h"
#include "common/TextConvert.h"

namespace {

const char kCrLf[] = "\r\n";

// The random part comes from the system's cryptographic generator, so that a
// page cannot guess the boundary and forge parts inside a value.
std::string MakeBoundary()
{
    unsigned random = 0;
    if (!RtlGenRandom(&random, sizeof(random))) throw std::runtime_error("no random number for the boundary");
    char text[64];
    std::snprintf(text, sizeof(text), "B-O-U-N-D-A-R-Y%u%u", static_cast<unsigned>(GetTickCount()), random);
    return text;
}

std::string OwnName(const std::wstring& path)
{
    size_t slash = path.rfind(L'\\');
    return Narrow(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

// The file name goes inside a quoted header parameter: a quote, CR, LF or NUL
// would end it or the header line early.
std::string QuotableFileName(std::string name)
{
    for (char& c : name)
        if (c == '"' || c == '\r' || c == '\n' || c == '\0') c = '_';
    return name;
}

size_t ReplaceAllNarrow(std::string& text, const std::string& what, const std::string& with)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
        text.replace(at, what.size(), with);
        ++count;
    }
    return count;
}

}  // namespace

CMultipartFormData::CMultipartFormData() : CMultipartFormData(MakeBoundary()) {}

CMultipartFormData::CMultipartFormData(const std::string& boundary)
    : boundary_(boundary), closingLine_("--" + boundary + "--" + kCrLf)
{
    AppendClosingLine();
}

CMultipartFormData::~CMultipartFormData() = default;
CMultipartFormData::CMultipartFormData(CMultipartFormData&&) noexcept = default;
CMultipartFormData& CMultipartFormData::operator=(CMultipartFormData&&) noexcept = default;

void CMultipartFormData::AppendText(const std::string& text)
{
    if (text.empty()) return;
    if (pieces_.empty() || pieces_.back().file) pieces_.push_back(Piece());
    pieces_.back().text += text;
    pieces_.back().size += text.size();
    size_ += text.size();
}

void CMultipartFormData::AppendClosingLine() { AppendText(closingLine_); }

void CMultipartFormData::DropClosingLine()
{
    // The body always ends with the closing line; its last four bytes ("--"
    // CR LF) go, leaving "--" and the boundary to open the next part.
    Piece& last = pieces_.back();
    last.text.resize(last.text.size() - 4);
    last.size -= 4;
    size_ -= 4;
}

void CMultipartFormData::KeepBoundaryOutOf(const std::string& text)
{
    if (text.find(boundary_) == std::string::npos) return;
    std::string written;
    for (const Piece& piece : pieces_)
        if (!piece.file) written += piece.text;
    std::string fresh;
    for (int attempt = 0;; ++attempt) {
        if (attempt == 64) throw std::runtime_error("no boundary outside the form's text");
        fresh = MakeBoundary();
        if (text.find(fresh) == std::string::npos && written.find(fresh) == std::string::npos) break;
    }
    // No value holds the old boundary, so every occurrence is a delimiter.
    size_ = 0;
    for (Piece& piece : pieces_) {
        if (!piece.file) {
            ReplaceAllNarrow(piece.text, "--" + boundary_, "--" + fresh);
            piece.size = piece.text.size();
        }
        size_ += piece.size;
    }
    boundary_ = fresh;
    closingLine_ = "--" + boundary_ + "--" + kCrLf;
    cursorPiece_ = 0;
    cursorStart_ = 0;
}

void CMultipartFormData::AddField(const std::string& name, const std::string& value)
{
    const std::string part =
        std::string(kCrLf) + "Content-Disposition: form-data; name=\"" + name + "\"" + kCrLf + kCrLf + value + kCrLf;
    KeepBoundaryOutOf(part);
    DropClosingLine();
    AppendText(part);
    AppendClosingLine();
}

bool CMultipartFormData::AddFile(const std::string& name, std::unique_ptr<File> file, const char* contentType,
                                 const std::string& fileName)
{
    if (!file || !file->IsValid()) return false;
    LONGLONG size = file->Size();
    if (size < 0) return false;
    const std::string shownName = QuotableFileName(fileName.empty() ? OwnName(file->Name()) : fileName);
    const std::string head = std::string(kCrLf) + "Content-Disposition: form-data; name=\"" + name +
                             "\"; filename=\"" + shownName + "\"" + kCrLf +
                             "Content-Type: " + (contentType ? contentType : "application/octet-stream") + kCrLf +
                             "Content-Transfer-Encoding: binary" + kCrLf + kCrLf;
    KeepBoundaryOutOf(head);
    DropClosingLine();
    AppendText(head);
    if (size > 0) {
        Piece piece;
        piece.file = std::shared_ptr<File>(file.release());
        piece.size = static_cast<ULONGLONG>(size);
        pieces_.push_back(std::move(piece));
        size_ += static_cast<ULONGLONG>(size);
    }
    AppendText(kCrLf);
    AppendClosingLine();
    cursorPiece_ = 0;
    cursorStart_ = 0;
    return true;
}

std::wstring CMultipartFormData::HeaderBlock() const
{
    std::wstring boundary(boundary_.begin(), boundary_.end());
    return L"Content-type: multipart/form-data, boundary=" + boundary + L"\r\nContent-length: " +
           std::to_wstring(size_) + L"\r\n";
}

bool CMultipartFormData::ReadBody(ULONGLONG offset, void* buffer, DWORD count, DWORD& copied)
{
    copied = 0;
    if (offset >= size_ || count == 0) return true;
    if (offset < cursorStart_) {
        cursorPiece_ = 0;
        cursorStart_ = 0;
    }
    BYTE* out = static_cast<BYTE*>(buffer);
    while (cursorPiece_ < pieces_.size() && copied < count) {
        const Piece& piece = pieces_[cursorPiece_];
        ULONGLONG end = cursorStart_ + piece.size;
        if (offset >= end) {
            cursorStart_ = end;
            ++cursorPiece_;
            continue;
        }
        ULONGLONG within = offset - cursorStart_;
        DWORD take = static_cast<DWORD>(std::min<ULONGLONG>(piece.size - within, count - copied));
        if (piece.file) {
            // A positioned read: no seek, no copy beyond the chunk itself.
            OVERLAPPED at = {};
            at.Offset = static_cast<DWORD>(within);
            at.OffsetHigh = static_cast<DWORD>(within >> 32);
            DWORD read = 0;
            if (!ReadFile(piece.file->Get(), out + copied, take, &read, &at) || read != take) return false;
        } else {
            std::memcpy(out + copied, piece.text.data() + within, take);
        }
        copied += take;
        offset += take;
    }
    return true;
}

std::string CMultipartFormData::BodyBytes()
{
    std::string body(static_cast<size_t>(size_), '\0');
    DWORD copied = 0;
    if (!body.empty() && !ReadBody(0, &body[0], static_cast<DWORD>(body.size()), copied)) return std::string();
    body.resize(copied);
    return body;
}

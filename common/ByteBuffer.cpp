// Growable byte buffer (see the header).
#include "common/ByteBuffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

ByteBuffer::ByteBuffer(ptrdiff_t step) : step_(step <= 0 ? kDefaultStep : static_cast<size_t>(step)) {}

ByteBuffer::ByteBuffer(const ByteBuffer& other) : step_(other.step_)
{
    if (other.size_ && (data_ = static_cast<BYTE*>(std::malloc(other.size_)))) {
        std::memcpy(data_, other.data_, other.size_);
        size_ = capacity_ = other.size_;
    }
}

ByteBuffer& ByteBuffer::operator=(const ByteBuffer& other)
{
    if (this != &other) {
        ByteBuffer copy(other);
        std::swap(data_, copy.data_);
        std::swap(size_, copy.size_);
        std::swap(capacity_, copy.capacity_);
        step_ = copy.step_;
    }
    return *this;
}

ByteBuffer::~ByteBuffer() { std::free(data_); }

bool ByteBuffer::Reserve(size_t n)
{
    if (capacity_ >= n) return true;
    if (n > std::numeric_limits<size_t>::max() - step_) return false;
    size_t capacity = n + step_;
    BYTE* data = static_cast<BYTE*>(std::malloc(capacity));
    if (!data) return false;
    if (size_) std::memcpy(data, data_, size_);
    std::free(data_);
    data_ = data;
    capacity_ = capacity;
    return true;
}

bool ByteBuffer::Append(const void* bytes, size_t count)
{
    if (!bytes || count == 0) return true;
    if (count > std::numeric_limits<size_t>::max() - size_) return false;
    if (!Reserve(size_ + count)) return false;
    std::memcpy(data_ + size_, bytes, count);
    size_ += count;
    return true;
}

bool ByteBuffer::AppendText(const char* text)
{
    return text ? Append(text, std::strlen(text)) : true;
}

bool ByteBuffer::SetSize(size_t n)
{
    if (!Reserve(n)) return false;
    size_ = n;
    return true;
}

bool ByteBuffer::AppendFileRange(HANDLE file, ULONGLONG offset, DWORD count)
{
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return false;
    if (count > std::numeric_limits<size_t>::max() - size_ || !Reserve(size_ + count)) return false;
    DWORD read = 0;
    BOOL ok = ReadFile(file, data_ + size_, count, &read, nullptr);
    size_ += read;
    return ok != FALSE;
}

bool ByteBuffer::AppendFile(HANDLE file)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 || size.QuadPart > MAXDWORD) return false;
    return AppendFileRange(file, 0, static_cast<DWORD>(size.QuadPart));
}

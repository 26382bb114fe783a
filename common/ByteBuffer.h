// A growable byte buffer. Growth that would overflow the size type fails
// cleanly: the operation returns false and the buffer stays as it was.
#pragma once

#include <windows.h>

#include <cstddef>

class ByteBuffer {
public:
    static const size_t kDefaultStep = 4096;

    explicit ByteBuffer(ptrdiff_t step = static_cast<ptrdiff_t>(kDefaultStep));
    ByteBuffer(const ByteBuffer& other);
    ByteBuffer& operator=(const ByteBuffer& other);
    ~ByteBuffer();

    // Makes the capacity at least n (n + step when it has to grow).
    bool Reserve(size_t n);
    bool Append(const void* bytes, size_t count);
    bool AppendText(const char* text);
    bool AppendByte(BYTE b) { return Append(&b, 1); }
    bool SetSize(size_t n);
    void Clear() { SetSize(0); }
    // Appends up to count bytes of the file from offset; false if the file
    // position cannot be set or the bytes cannot be read.
    bool AppendFileRange(HANDLE file, ULONGLONG offset, DWORD count);
    bool AppendFile(HANDLE file);

    BYTE* Data() { return data_; }
    const BYTE* Data() const { return data_; }
    size_t Size() const { return size_; }
    size_t Capacity() const { return capacity_; }

private:
    BYTE* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    size_t step_;
};

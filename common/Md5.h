// The MD5 message digest (RFC 1321), computed here so that the login handshake
// with the service needs no crypto provider of the system.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class Md5 {
public:
    using Digest = std::array<std::uint8_t, 16>;

    Md5();
    // Adds bytes to the message; may be called any number of times.
    void Update(const void* data, std::size_t size);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
    // Pads the message and answers its digest; the object is spent afterwards.
    Digest Finish();

    // The digest of bytes as 32 lower-case hexadecimal digits.
    static std::string Hex(std::string_view bytes);

private:
    void Transform(const std::uint8_t* block);

    std::uint32_t state_[4];
    std::uint64_t length_ = 0;  // message bytes so far
    std::uint8_t buffer_[64] = {};
};

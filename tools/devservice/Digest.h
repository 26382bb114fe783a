// Message digests of the development service: SHA-256 of every received file
// part (computed while the bytes stream to disk) and the MD5 answer of the
// login cookie challenge.
#pragma once

#include <cstddef>
#include <string>

struct evp_md_ctx_st;

namespace devservice {

// Incremental SHA-256; hex() ends the computation.
class Sha256Stream {
public:
    Sha256Stream();
    ~Sha256Stream();
    Sha256Stream(const Sha256Stream&) = delete;
    Sha256Stream& operator=(const Sha256Stream&) = delete;

    void update(const void* data, std::size_t size);
    std::string hex();

private:
    evp_md_ctx_st* ctx_;
    std::string result_;
};

std::string sha256Hex(const std::string& bytes);
std::string md5Hex(const std::string& bytes);

// The key the toolbar appends to the challenge before hashing it.
inline constexpr const char kHandshakeKey[] = "x9;*m3";

// The answer the toolbar must give in "IMGTRESPONSE" for a challenge:
// MD5 of the challenge followed by the handshake key, 32 lower-case digits.
std::string challengeResponse(const std::string& challenge);

}  // namespace devservice

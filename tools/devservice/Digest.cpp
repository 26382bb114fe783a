// Digests over OpenSSL's EVP interface (it uses the CPU's SHA instructions,
// which keeps hashing well above the service's throughput target).
#include "Digest.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace devservice {
namespace {

std::string toHex(const unsigned char* bytes, unsigned size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (unsigned i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::string digestHex(const EVP_MD* md, const std::string& bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), out, &size, md, nullptr) != 1)
        throw std::runtime_error("digest failed");
    return toHex(out, size);
}

}  // namespace

Sha256Stream::Sha256Stream() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_ || EVP_DigestInit_ex(ctx_, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 init failed");
}

Sha256Stream::~Sha256Stream() { EVP_MD_CTX_free(ctx_); }

void Sha256Stream::update(const void* data, std::size_t size) {
    if (result_.empty() && size)
        EVP_DigestUpdate(ctx_, data, size);
}

std::string Sha256Stream::hex() {
    if (result_.empty()) {
        unsigned char out[EVP_MAX_MD_SIZE];
        unsigned size = 0;
        EVP_DigestFinal_ex(ctx_, out, &size);
        result_ = toHex(out, size);
    }
    return result_;
}

std::string sha256Hex(const std::string& bytes) { return digestHex(EVP_sha256(), bytes); }
std::string md5Hex(const std::string& bytes) { return digestHex(EVP_md5(), bytes); }

std::string challengeResponse(const std::string& challenge) {
    return md5Hex(challenge + kHandshakeKey);
}

}  // namespace devservice

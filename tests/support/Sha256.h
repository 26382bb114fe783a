// SHA-256 of bytes as lower-case hexadecimal, to compare what the development
// service stored with what a test sent.
#pragma once

#include <string>

namespace vptest {

std::string Sha256Hex(const std::string& bytes);

}  // namespace vptest

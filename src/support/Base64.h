#pragma once

#include <cstdint>
#include <string>

// The longest input whose Base64 text still has a length that fits a signed
// 32-bit count.
constexpr std::int32_t kMaxBase64InputLength = 1610612733;

// Standard Base64 (RFC 4648, "+" and "/"), padded with "=", no line breaks.
// A length below 0 or above kMaxBase64InputLength raises std::length_error.
std::string EncodeBase64(const unsigned char* bytes, std::int32_t length);

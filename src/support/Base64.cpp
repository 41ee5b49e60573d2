#include "support/Base64.h"

#include <stdexcept>

std::string EncodeBase64(const unsigned char* bytes, std::int32_t length) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (length < 0 || length > kMaxBase64InputLength) throw std::length_error("Base64 input too long");
    std::string text(4 * ((static_cast<std::size_t>(length) + 2) / 3), '=');
    char* out = &text[0];
    const unsigned char* in = bytes;
    const unsigned char* const fullGroupsEnd = bytes + (length / 3) * 3;
    for (; in != fullGroupsEnd; in += 3, out += 4) {
        const unsigned b0 = in[0], b1 = in[1], b2 = in[2];
        out[0] = kAlphabet[b0 >> 2];
        out[1] = kAlphabet[((b0 & 3) << 4) | (b1 >> 4)];
        out[2] = kAlphabet[((b1 & 15) << 2) | (b2 >> 6)];
        out[3] = kAlphabet[b2 & 63];
    }
    switch (length % 3) {
        case 1:
            out[0] = kAlphabet[in[0] >> 2];
            out[1] = kAlphabet[(in[0] & 3) << 4];
            break;
        case 2:
            out[0] = kAlphabet[in[0] >> 2];
            out[1] = kAlphabet[((in[0] & 3) << 4) | (in[1] >> 4)];
            out[2] = kAlphabet[(in[1] & 15) << 2];
            break;
        default:
            break;
    }
    return text;
}

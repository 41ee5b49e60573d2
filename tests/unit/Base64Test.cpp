#include "support/Base64.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string Encode(const std::string& bytes) {
    return EncodeBase64(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<std::int32_t>(bytes.size()));
}

std::string Encode(const std::vector<unsigned char>& bytes) {
    return EncodeBase64(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

// A deliberately naive decoder, written independently of the encoder: it looks
// every character up in the alphabet by search and rebuilds the bit stream.
// Returns false on anything that is not canonical, padded Base64.
bool DecodeReference(const std::string& text, std::vector<unsigned char>& bytes) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    bytes.clear();
    if (text.size() % 4 != 0) return false;
    for (std::size_t group = 0; group < text.size(); group += 4) {
        const bool last = group + 4 == text.size();
        std::uint32_t bits = 0;
        int padding = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const char c = text[group + i];
            std::uint32_t value = 0;
            if (c == '=') {
                // Padding only at the very end, at most two, never before a data character.
                if (!last || i < 2) return false;
                ++padding;
            } else {
                if (padding > 0) return false;
                const std::size_t at = alphabet.find(c);
                if (at == std::string::npos) return false;
                value = static_cast<std::uint32_t>(at);
            }
            bits = (bits << 6) | value;
        }
        const unsigned char b0 = static_cast<unsigned char>(bits >> 16);
        const unsigned char b1 = static_cast<unsigned char>(bits >> 8);
        const unsigned char b2 = static_cast<unsigned char>(bits);
        bytes.push_back(b0);
        if (padding < 2) bytes.push_back(b1);
        else if (b1 != 0) return false;  // unused bits must be zero
        if (padding < 1) bytes.push_back(b2);
        else if (b2 != 0) return false;
    }
    return true;
}

TEST(Base64Test, Rfc4648TestVectors) {
    struct Case {
        std::string input;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("input: \"" + c.input + "\"");
        EXPECT_EQ(Encode(c.input), c.expected);
    }
}

TEST(Base64Test, EveryByteValueEncodesByItsUnsignedValue) {
    for (int value = 0; value < 256; ++value) {
        SCOPED_TRACE("byte " + std::to_string(value));
        const std::vector<unsigned char> input = {static_cast<unsigned char>(value)};
        const std::string text = Encode(input);
        ASSERT_EQ(text.size(), 4u);
        EXPECT_EQ(text.substr(2), "==");
        std::vector<unsigned char> decoded;
        ASSERT_TRUE(DecodeReference(text, decoded)) << text;
        EXPECT_EQ(decoded, input);
    }
}

TEST(Base64Test, HighBytesAreNotSignExtended) {
    // Sign extension of 0xFF would spill ones into the neighbouring sextets.
    const struct {
        std::vector<unsigned char> input;
        std::string expected;
    } cases[] = {
        {{0xFF}, "/w=="},
        {{0xFF, 0xFF}, "//8="},
        {{0xFF, 0xFF, 0xFF}, "////"},
        {{0x80, 0x00, 0x00}, "gAAA"},
        {{0x00, 0x80, 0x00}, "AIAA"},
        {{0x00, 0x00, 0x80}, "AACA"},
        {{0xFB, 0xFF, 0xBF}, "+/+/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("expected " + c.expected);
        EXPECT_EQ(Encode(c.input), c.expected);
    }
}

TEST(Base64Test, AllByteValuesRoundTripInEveryAlignment) {
    std::vector<unsigned char> all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<unsigned char>(i);
    // Dropping 0, 1 or 2 leading bytes moves every byte through each position of a group.
    for (std::size_t skip = 0; skip < 3; ++skip) {
        SCOPED_TRACE("skip " + std::to_string(skip));
        const std::vector<unsigned char> input(all.begin() + skip, all.end());
        const std::string text = Encode(input);
        std::vector<unsigned char> decoded;
        ASSERT_TRUE(DecodeReference(text, decoded)) << text;
        EXPECT_EQ(decoded, input);
    }
}

TEST(Base64Test, LengthIsAlwaysAMultipleOfFourWithoutLineBreaks) {
    std::vector<unsigned char> input;
    for (int n = 0; n <= 200; ++n) {
        SCOPED_TRACE("length " + std::to_string(n));
        const std::string text = Encode(input);
        EXPECT_EQ(text.size(), 4u * ((input.size() + 2) / 3));
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        std::vector<unsigned char> decoded;
        EXPECT_TRUE(DecodeReference(text, decoded)) << text;
        EXPECT_EQ(decoded, input);
        input.push_back(static_cast<unsigned char>(n * 37 + 11));
    }
}

TEST(Base64Test, OnlyEncodesTheGivenLength) {
    const std::string buffer = "foobar-and-more";
    EXPECT_EQ(EncodeBase64(reinterpret_cast<const unsigned char*>(buffer.data()), 3), "Zm9v");
    EXPECT_EQ(EncodeBase64(reinterpret_cast<const unsigned char*>(buffer.data()), 0), "");
}

TEST(Base64Test, LengthsOutsideTheEncoderRangeAreRefusedBeforeReading) {
    // The buffer is tiny: the length check has to happen before any byte is read.
    const unsigned char small[3] = {1, 2, 3};
    const std::int32_t lengths[] = {
        -1,
        std::numeric_limits<std::int32_t>::min(),
        kMaxBase64InputLength + 1,
        std::numeric_limits<std::int32_t>::max(),
    };
    for (const std::int32_t length : lengths) {
        SCOPED_TRACE("length " + std::to_string(length));
        EXPECT_THROW(EncodeBase64(small, length), std::length_error);
    }
}

}  // namespace

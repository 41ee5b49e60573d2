#include "host/WebSocketMasking.h"

#include <gtest/gtest.h>

namespace {

std::string MaskedByteByByte(std::string payload, const std::array<unsigned char, 4>& key) {
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(payload[i] ^ key[i % 4]);
    return payload;
}

TEST(WebSocketMasking, EveryByteTakesTheKeyByteOfItsPosition) {
    const std::array<unsigned char, 4> key = {0x12, 0xa7, 0xff, 0x00};
    // Lengths around the eight-byte words, and one of a real image's size.
    for (const std::size_t length : {0u, 1u, 3u, 4u, 7u, 8u, 9u, 15u, 16u, 17u, 1398106u}) {
        SCOPED_TRACE(length);
        std::string payload(length, '\0');
        for (std::size_t i = 0; i < length; ++i) payload[i] = static_cast<char>(i * 31 + 7);
        const std::string expected = MaskedByteByByte(payload, key);
        MaskWebSocketPayload(payload, key);
        EXPECT_EQ(payload, expected);
        MaskWebSocketPayload(payload, key);
        EXPECT_EQ(payload, MaskedByteByByte(expected, key)) << "masking twice restores the payload";
    }
}

}  // namespace

#include "host/WebSocketMasking.h"

#include <cstdint>
#include <cstring>

void MaskWebSocketPayload(std::string& payload, const std::array<unsigned char, 4>& key) {
    // Eight bytes at a time: the key repeats every four, so the pattern lines
    // up with every word that starts at a multiple of eight.
    const unsigned char pattern[8] = {key[0], key[1], key[2], key[3], key[0], key[1], key[2], key[3]};
    std::uint64_t wideKey = 0;
    std::memcpy(&wideKey, pattern, sizeof wideKey);
    char* const data = &payload[0];
    const std::size_t size = payload.size();
    std::size_t i = 0;
    for (; i + sizeof wideKey <= size; i += sizeof wideKey) {
        std::uint64_t word = 0;
        std::memcpy(&word, data + i, sizeof word);
        word ^= wideKey;
        std::memcpy(data + i, &word, sizeof word);
    }
    for (; i < size; ++i) data[i] = static_cast<char>(data[i] ^ key[i % 4]);
}

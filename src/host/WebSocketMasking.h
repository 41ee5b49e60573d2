#pragma once

#include <array>
#include <string>

// XORs every byte of a client's frame payload with the masking key, byte i
// with key[i % 4], in place.
void MaskWebSocketPayload(std::string& payload, const std::array<unsigned char, 4>& key);

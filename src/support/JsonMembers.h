#pragma once

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

// JSON readers that never raise, whatever the value they are given.

// True when container is an object whose member `name` is an object; the
// destination then receives a copy of it. Otherwise the destination is left alone.
bool GetObjectMember(const nlohmann::json& container, const std::string& name, nlohmann::json& destination);

// The member's text when container is an object whose member `name` is a
// string; otherwise a copy of the fallback.
std::string GetStringMember(const nlohmann::json& container, const std::string& name, const std::string& fallback);

// Deeper documents are refused: copying or destroying a value recurses once
// per level, and a message nested hundreds of thousands deep would overflow
// the stack.
constexpr int kMaxJsonDepth = 512;

// Parse one JSON document (nothing but white space after it), raising the
// library's parse error, its out-of-range error for a number no double holds
// (1e999), or std::length_error when it is nested deeper than kMaxJsonDepth.
nlohmann::json ParseJsonDocument(const std::string& text);
nlohmann::json ParseJsonDocument(std::FILE* file);

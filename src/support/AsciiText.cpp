#include "support/AsciiText.h"

bool IsAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::string TrimAsciiSpace(const std::string& text) {
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && IsAsciiSpace(text[first])) ++first;
    while (end > first && IsAsciiSpace(text[end - 1])) --end;
    return text.substr(first, end - first);
}

std::string AsciiLowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string AsciiUpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

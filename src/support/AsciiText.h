#pragma once

#include <string>

// Text that users type into settings, read the same whatever the locale.

// Space, tab, new line, carriage return, vertical tab, form feed.
bool IsAsciiSpace(char c);

// Without the ASCII white space at either end.
std::string TrimAsciiSpace(const std::string& text);

// With ASCII letters in lower or upper case; other bytes as they are.
std::string AsciiLowerCase(std::string text);
std::string AsciiUpperCase(std::string text);

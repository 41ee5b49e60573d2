#pragma once

#include <string>

// The Base64 text of a whole file, or the empty text when it cannot be loaded;
// failures print "Unable to open file <path>" or "Memory error!" on standard output.
std::string LoadFileAsBase64(const std::string& path);

#pragma once

#include <string>

// Textual operations on paths in Windows notation, and the search for the
// plugin's own ".sdPlugin" folder. Only GetPluginFolder touches the system.
// GetFileName, GetParentPath and IsUncRoot use the backslash as the separator
// when the path holds one, otherwise the forward slash.

std::string GetFileName(const std::string& path);
std::string GetExtension(const std::string& path);
bool IsUncRoot(const std::string& path);
std::string GetParentPath(const std::string& path);
// base + one backslash + name, every forward slash turned into a backslash.
std::string JoinPath(const std::string& base, const std::string& name);

// The nearest enclosing folder of the executable whose name ends in
// ".sdPlugin", without a trailing separator; empty when there is none.
std::string GetPluginFolder();

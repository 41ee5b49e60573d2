#pragma once

#include <string>

// The token with which the desktop portal restores a remote desktop grant
// without asking the user again, kept in the user's state folder:
// $XDG_STATE_HOME/deckmouse, else ~/.local/state/deckmouse. Deleting the file
// makes the portal ask again.
namespace platform::portal {

// The file's path; empty when neither XDG_STATE_HOME nor HOME is set.
std::string RestoreTokenPath();

// The stored token; empty when there is none or the file holds no token.
std::string ReadRestoreToken();

// Replaces the stored token, making the folders (0700) and the file (0600)
// as needed; a reader sees the old token or the new one, never a part.
bool StoreRestoreToken(const std::string& token);

}  // namespace platform::portal

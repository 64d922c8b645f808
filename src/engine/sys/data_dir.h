#pragma once

#include <optional>
#include <string>

inline constexpr char kDataDirFindError[] = "Error finding application data directory path!";
inline constexpr char kDataDirCreateError[] = "Error creating application data directory!";

// The per-user data folder (XDG data home) from the values of XDG_DATA_HOME and HOME, either of which may be null:
// an absolute XDG_DATA_HOME, else HOME followed by /.local/share; empty text when neither gives a folder.
// Trailing slashes are dropped.
std::string LocalAppDataFolder(const char* xdgDataHome, const char* home);

// Exactly one of the two is set.
struct AppDataDirResult {
    std::optional<std::string> path;
    std::string error;
};

// Makes sure localAppDataFolder/Brindlework/Hubsift exists, creating each missing level (the data folder itself
// with its parents, as XDG asks of a missing data home) and returns it, or the user-facing error text.
AppDataDirResult PrepareAppDataDir(const std::string& localAppDataFolder);

// PrepareAppDataDir of the folder the environment names.
AppDataDirResult PrepareAppDataDirFromEnvironment();

// A data folder the user named (--data-dir), used as it is: created with its parents when missing, trailing slashes
// dropped. The creation error when it cannot be made, the finding error for an empty name.
AppDataDirResult PrepareChosenDataDir(std::string folder);

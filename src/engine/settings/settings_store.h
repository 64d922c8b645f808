#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/settings/app_settings.h"

inline constexpr char kDefaultHublistURL[] = "https://dchublist.org/hublist.xml.bz2";

// Reads the settings file; a missing or unreadable file (a folder, a FIFO, a read error) gives every default.
// ShareSizeBytes is left empty: start-up derives it from ShareSize when it fills the Settings dialog.
AppSettings LoadSettings(const std::string& settingsFile);

// Replaces the settings file with the eleven settings, atomically: a failure leaves the old file as it was.
// Returns the error text, naming the file and the system's reason, or nullopt on success.
std::optional<std::string> SaveSettings(const std::string& settingsFile, const AppSettings& settings);

// Share size in gigabytes ("." decimals) to bytes as decimal text, truncated toward zero. Text that is not a
// number, or whose byte count does not fit a signed 64-bit integer, gives "0".
std::string ShareSizeToBytes(std::string_view shareSize);

// Whether the settings file, kept in the locale's code page, can hold the text (UTF-8) exactly.
bool SettingsFileCanHold(std::string_view text);
// The refusal of a nick the settings file cannot hold, naming its code page.
std::string NickOutsideCodePageError();

// A nick holding "$" or "|" would inject protocol commands into every hub it is sent to.
inline constexpr char kUnsafeNickError[] = "Error: Your Nick must not contain '$' or '|'";
bool NickIsSafe(std::string_view nick);

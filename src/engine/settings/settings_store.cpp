#include "engine/settings/settings_store.h"

#include <cmath>

#include "engine/settings/ini_file.h"
#include "engine/sys/file_replacement.h"
#include "engine/text/ansi_codec.h"
#include "engine/text/hub_encoding.h"
#include "engine/text/number_format.h"

namespace {

constexpr char kSection[] = "Settings";

std::string FormatSettingsFile(const AppSettings& s) {
    std::string text = std::string("[") + kSection + "]\r\n";
    const auto line = [&text](const char* key, const std::string& value) {
        text += key;
        text += '=';
        text += value;
        text += "\r\n";
    };
    // The file is in the locale's code page; a nick it cannot hold is refused before it gets here.
    line("Nick", AnsiCodec::System().FromUtf8(s.Nick));
    line("AutodetectIP", s.AutodetectIP ? "1" : "0");
    line("IP", s.IP);
    line("HublistURL", AnsiCodec::System().FromUtf8(s.HublistURL));
    line("RefreshHublist", s.RefreshHublist ? "1" : "0");
    line("ShareSize", s.ShareSize);
    line("Threads", std::to_string(s.Threads));
    line("MinUDPPort", std::to_string(s.MinUDPPort));
    line("MaxUDPPort", std::to_string(s.MaxUDPPort));
    line("SearchTimeout", std::to_string(s.SearchTimeout));
    text += "\r\n";
    // After the twelve lines older versions wrote, which stay as they were.
    line("ConnectionMode", std::string(ConnectionModeName(s.Connection)));
    line("SkipRecentHubs", s.SkipRecentHubs ? "1" : "0");
    return text;
}

}  // namespace

AppSettings LoadSettings(const std::string& settingsFile) {
    const IniFile ini = IniFile::FromFile(settingsFile);
    AppSettings s;
    s.Nick = AnsiCodec::System().ToUtf8(ini.ReadString(kSection, "Nick", ""));
    s.AutodetectIP = ini.ReadBool(kSection, "AutodetectIP", true);
    s.IP = ini.ReadString(kSection, "IP", "");
    s.HublistURL = AnsiCodec::System().ToUtf8(ini.ReadString(kSection, "HublistURL", kDefaultHublistURL));
    s.RefreshHublist = ini.ReadBool(kSection, "RefreshHublist", false);
    s.ShareSize = ini.ReadString(kSection, "ShareSize", "5.00");
    s.Threads = ini.ReadInteger(kSection, "Threads", 30);
    if (s.Threads > kMaxThreads) s.Threads = kMaxThreads;
    s.MinUDPPort = ini.ReadInteger(kSection, "MinUDPPort", 1025);
    s.MaxUDPPort = ini.ReadInteger(kSection, "MaxUDPPort", 32000);
    s.SearchTimeout = ini.ReadInteger(kSection, "SearchTimeout", 15);
    s.Connection =
        ConnectionModeNamed(ini.ReadString(kSection, "ConnectionMode", "")).value_or(ConnectionMode::Automatic);
    s.SkipRecentHubs = ini.ReadBool(kSection, "SkipRecentHubs", true);
    return s;
}

std::optional<std::string> SaveSettings(const std::string& settingsFile, const AppSettings& settings) {
    FileReplacement file(settingsFile);
    file.Write(FormatSettingsFile(settings));
    return file.Commit();
}

std::string ShareSizeToBytes(std::string_view shareSize) {
    const auto gigabytes = ParseDecimal(shareSize);
    if (!gigabytes) return "0";
    const long double bytes = std::trunc(*gigabytes * 1073741824.0L);
    // 2^63 is exact in long double; the range is [-2^63, 2^63).
    constexpr long double kLimit = 9223372036854775808.0L;
    if (!(bytes >= -kLimit && bytes < kLimit)) return "0";
    return std::to_string(static_cast<int64_t>(bytes));
}

bool SettingsFileCanHold(std::string_view text) {
    return HubEncoding().FromUtf8(text).has_value();
}

std::string NickOutsideCodePageError() {
    return "Error: Your Nick holds characters that the settings file's code page (" + HubEncoding().Name() +
           ") cannot hold";
}

bool NickIsSafe(std::string_view nick) {
    return nick.find_first_of("$|") == std::string_view::npos;
}

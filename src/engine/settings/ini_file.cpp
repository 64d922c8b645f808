#include "engine/settings/ini_file.h"

#include "engine/sys/regular_file.h"
#include "engine/text/ascii_case.h"
#include "engine/text/number_format.h"

namespace {

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

IniFile IniFile::FromText(std::string_view text) {
    // Editors may start a UTF-8 file with a byte order mark.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    IniFile ini;
    Section* current = nullptr;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            current = &ini.m_sections[AsciiLower(Trim(line.substr(1, line.size() - 2)))];
            current->clear();
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos) continue;
        (*current)[AsciiLower(Trim(line.substr(0, equals)))] = std::string(Trim(line.substr(equals + 1)));
    }
    return ini;
}

IniFile IniFile::FromFile(const std::string& path) {
    return FromText(ReadRegularFile(path).value_or(std::string()));
}

std::optional<std::string> IniFile::ReadValue(std::string_view section, std::string_view key) const {
    const auto sectionIt = m_sections.find(AsciiLower(section));
    if (sectionIt == m_sections.end()) return std::nullopt;
    const auto keyIt = sectionIt->second.find(AsciiLower(key));
    if (keyIt == sectionIt->second.end()) return std::nullopt;
    return keyIt->second;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, const std::string& defaultValue) const {
    return ReadValue(section, key).value_or(defaultValue);
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const {
    const auto value = ReadValue(section, key);
    if (!value) return defaultValue;
    return ParseInt32(*value).value_or(defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

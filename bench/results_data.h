#pragma once

#include <cstdint>
#include <random>
#include <string>

// Realistic $SR messages for the result benchmarks: file results with 60-character paths and some directories.
inline std::string GeneratedSrMessage(std::mt19937& random) {
    static const char* const kWords[] = {"Music",  "Films",  "Linux", "Backup", "Photos", "Share",
                                         "Albums", "Series", "Books", "Games",  "Live",   "Remaster"};
    const auto word = [&random]() { return std::string(kWords[random() % 12]); };
    std::string path = word() + "\\" + word() + " " + std::to_string(1990 + random() % 35) + "\\" + word() + "\\";
    while (path.size() < 60) path += static_cast<char>('a' + random() % 26);
    path.resize(59);
    path += '\\';
    const std::string nick = "user" + std::to_string(random() % 100000);
    const std::string slotText = std::to_string(random() % 6) + "/" + std::to_string(1 + random() % 10);
    const std::string hub =
        " Hub (10.0." + std::to_string(random() % 256) + "." + std::to_string(random() % 256) + ":411)";
    if (random() % 10 == 0) return "$SR " + nick + " " + path.substr(0, 59) + " " + slotText + "\x05" + hub;
    const std::string name = word() + " - " + word() + " " + std::to_string(random() % 100) + ".mp3";
    return "$SR " + nick + " " + path + name + "\x05" + std::to_string(random() % 5000000000LL) + " " + slotText +
           "\x05" + hub;
}

#pragma once

#include <cstdio>
#include <random>
#include <string>

// A hub list shaped like the public ones: a column table, then one Hub element per hub with the usual attributes.
inline std::string GeneratedHublist(int hubs) {
    static const char* const kCountries[] = {"Sweden", "Russian Federation", "Netherlands", "United States", "Poland"};
    static const char* const kWords[] = {"Music", "Films", "Linux", "Anime", "Games", "Books", "Sports", "Chat"};
    std::mt19937 random(42);
    std::string text =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\n<Hublist Name=\"Public hub list\">\n"
        "\t<Columns>\n\t\t<Column Name=\"Name\" Type=\"string\"/>\n\t\t<Column Name=\"Address\" Type=\"string\"/>\n"
        "\t\t<Column Name=\"Description\" Type=\"string\"/>\n\t\t<Column Name=\"Users\" Type=\"int\"/>\n"
        "\t\t<Column Name=\"Shared\" Type=\"bytes\"/>\n\t</Columns>\n\t<Hubs>\n";
    char line[1024];
    for (int i = 0; i < hubs; ++i) {
        const char* word = kWords[random() % 8];
        const int n = std::snprintf(
            line, sizeof line,
            "\t\t<Hub Name=\"[%s] %s hub %d\" Address=\"dchub://dc%d.%s-hub.example.org:%u\" Description=\"All about "
            "%s, come in &amp; share\" Users=\"%u\" Country=\"%s\" Shared=\"%llu\" Minshare=\"%u\" Minslots=\"%u\" "
            "Maxhubs=\"%u\" Maxusers=\"%u\" Reliability=\"%u.%u%%\" Rating=\"\"/>\n",
            kCountries[random() % 5], word, i, i, word, 400u + static_cast<unsigned>(random() % 2000), word,
            static_cast<unsigned>(random() % 5000), kCountries[random() % 5],
            static_cast<unsigned long long>(random()) * 1000003ull, static_cast<unsigned>(random() % 50),
            static_cast<unsigned>(random() % 5), static_cast<unsigned>(random() % 20),
            static_cast<unsigned>(random() % 10000), static_cast<unsigned>(random() % 100),
            static_cast<unsigned>(random() % 10));
        text.append(line, static_cast<std::size_t>(n));
    }
    return text + "\t</Hubs>\n</Hublist>\n";
}

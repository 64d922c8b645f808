#include "rng.h"

uint64_t Rng::Next() {
    m_state += 0x9E3779B97F4A7C15ULL;
    uint64_t z = m_state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

int64_t Rng::Between(int64_t low, int64_t high) {
    return low + static_cast<int64_t>(Below(static_cast<uint64_t>(high - low) + 1));
}

uint64_t Rng::Mix(uint64_t seed, std::string_view text) {
    uint64_t hash = 0xCBF29CE484222325ULL ^ seed;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001B3ULL;
    }
    return Rng(hash).Next();
}

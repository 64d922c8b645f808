#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Deterministic pseudo-random numbers (splitmix64). The standard distributions differ between libraries, so the
// network is drawn from this alone: the same seed gives the same network everywhere.
class Rng {
public:
    explicit Rng(uint64_t seed) : m_state(seed) {}

    uint64_t Next();
    // Uniform in [0, bound); 0 when bound is 0.
    uint64_t Below(uint64_t bound) { return bound == 0 ? 0 : Next() % bound; }
    // Uniform in [low, high], both inclusive.
    int64_t Between(int64_t low, int64_t high);
    bool Chance(double probability) { return static_cast<double>(Next() >> 11) * 0x1.0p-53 < probability; }
    template <class T>
    const T& Pick(const std::vector<T>& items) {
        return items[Below(items.size())];
    }

    // A seed derived from a text and a parent seed, so that parts of the network can be drawn independently.
    static uint64_t Mix(uint64_t seed, std::string_view text);

private:
    uint64_t m_state;
};

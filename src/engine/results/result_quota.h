#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

enum class Admission {
    Admitted,
    FirstRefused,  // the user's first result over the limit
    Refused,
};

// Counts the results each user on each hub has given, so that one sender cannot fill the list. A user is known by
// nick and hub address as its results name them. Not thread-safe.
class ResultQuota {
public:
    // Counts one result of user on hub, unless that user has had limit results already.
    Admission Admit(std::string_view user, std::string_view hub, int32_t limit);
    // Forgets every count and its memory.
    void Clear();

private:
    // Keyed by a 64-bit hash of nick and hub (two senders sharing one by chance would only share their limit), in an
    // open-addressed table: a flood of results from distinct users costs one probe each, not an allocation.
    struct Slot {
        uint64_t key = 0;  // 0: free
        int32_t count = 0;
        bool refused = false;
    };

    void Grow();

    std::vector<Slot> m_slots;
    std::size_t m_used = 0;
};

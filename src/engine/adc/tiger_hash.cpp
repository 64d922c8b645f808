#include "engine/adc/tiger_hash.h"

#include <algorithm>
#include <string_view>

namespace {

using SBoxes = std::array<uint64_t, std::size_t{4} * 256>;
using State = std::array<uint64_t, 3>;
using Block = std::array<uint64_t, 8>;

constexpr State kInitialState = {0x0123456789ABCDEFULL, 0xFEDCBA9876543210ULL, 0xF096A5B4C3B2E187ULL};
constexpr int kPasses = 3;

uint8_t ByteOf(uint64_t word, int index) {
    return static_cast<uint8_t>(word >> (8 * index));
}

void Round(const SBoxes& s, uint64_t& a, uint64_t& b, uint64_t& c, uint64_t x, uint64_t multiplier) {
    c ^= x;
    a -= s[ByteOf(c, 0)] ^ s[256 + ByteOf(c, 2)] ^ s[512 + ByteOf(c, 4)] ^ s[768 + ByteOf(c, 6)];
    b += s[768 + ByteOf(c, 1)] ^ s[512 + ByteOf(c, 3)] ^ s[256 + ByteOf(c, 5)] ^ s[ByteOf(c, 7)];
    b *= multiplier;
}

void Pass(const SBoxes& s, uint64_t& a, uint64_t& b, uint64_t& c, const Block& x, uint64_t multiplier) {
    Round(s, a, b, c, x[0], multiplier);
    Round(s, b, c, a, x[1], multiplier);
    Round(s, c, a, b, x[2], multiplier);
    Round(s, a, b, c, x[3], multiplier);
    Round(s, b, c, a, x[4], multiplier);
    Round(s, c, a, b, x[5], multiplier);
    Round(s, a, b, c, x[6], multiplier);
    Round(s, b, c, a, x[7], multiplier);
}

void KeySchedule(Block& x) {
    x[0] -= x[7] ^ 0xA5A5A5A5A5A5A5A5ULL;
    x[1] ^= x[0];
    x[2] += x[1];
    x[3] -= x[2] ^ ((~x[1]) << 19);
    x[4] ^= x[3];
    x[5] += x[4];
    x[6] -= x[5] ^ ((~x[4]) >> 23);
    x[7] ^= x[6];
    x[0] += x[7];
    x[1] -= x[0] ^ ((~x[7]) << 19);
    x[2] ^= x[1];
    x[3] += x[2];
    x[4] -= x[3] ^ ((~x[2]) >> 23);
    x[5] ^= x[4];
    x[6] += x[5];
    x[7] -= x[6] ^ 0x0123456789ABCDEFULL;
}

void Compress(const SBoxes& s, Block x, State& state) {
    uint64_t a = state[0], b = state[1], c = state[2];
    for (int pass = 0; pass < kPasses; ++pass) {
        if (pass != 0) KeySchedule(x);
        Pass(s, a, b, c, x, pass == 0 ? 5 : pass == 1 ? 7 : 9);
        const uint64_t rotated = a;
        a = c;
        c = b;
        b = rotated;
    }
    state[0] ^= a;
    state[1] = b - state[1];
    state[2] += c;
}

Block LittleEndianBlock(const uint8_t* bytes) {
    Block block{};
    for (int word = 0; word < 8; ++word)
        for (int i = 7; i >= 0; --i) block[word] = (block[word] << 8) | bytes[word * 8 + i];
    return block;
}

// The authors' generation procedure: start from the identity in every byte column, then swap bytes within each
// column of each box as driven by the state of Tiger compressing a fixed text with the boxes being built.
SBoxes GenerateSBoxes() {
    constexpr std::string_view seed = "Tiger - A Fast New Hash Function, by Ross Anderson and Eli Biham";
    static_assert(seed.size() == 64);
    SBoxes s{};
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = (i & 0xFF) * 0x0101010101010101ULL;
    const Block text = LittleEndianBlock(reinterpret_cast<const uint8_t*>(seed.data()));
    State state = kInitialState;
    int abc = 2;
    for (int generationPass = 0; generationPass < 5; ++generationPass) {
        for (int i = 0; i < 256; ++i) {
            for (int box = 0; box < 1024; box += 256) {
                if (++abc == 3) {
                    abc = 0;
                    Compress(s, text, state);
                }
                for (int column = 0; column < 8; ++column) {
                    const int other = box + ByteOf(state[abc], column);
                    const uint64_t mask = 0xFFULL << (8 * column);
                    const uint64_t mine = s[box + i] & mask;
                    s[box + i] = (s[box + i] & ~mask) | (s[other] & mask);
                    s[other] = (s[other] & ~mask) | mine;
                }
            }
        }
    }
    return s;
}

const SBoxes& Boxes() {
    static const SBoxes boxes = GenerateSBoxes();
    return boxes;
}

}  // namespace

TigerDigest TigerHash(std::span<const uint8_t> data) {
    const SBoxes& s = Boxes();
    State state = kInitialState;
    std::size_t whole = data.size() / 64 * 64;
    for (std::size_t offset = 0; offset < whole; offset += 64) Compress(s, LittleEndianBlock(&data[offset]), state);

    // The tail, 0x01, zeros up to 56 bytes of the last block, then the length in bits, little-endian.
    std::array<uint8_t, 128> tail{};
    const std::size_t rest = data.size() - whole;
    std::copy(data.begin() + static_cast<std::ptrdiff_t>(whole), data.end(), tail.begin());
    tail[rest] = 0x01;
    const std::size_t tailSize = rest < 56 ? 64 : 128;
    const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
    for (int i = 0; i < 8; ++i) tail[tailSize - 8 + i] = ByteOf(bits, i);
    for (std::size_t offset = 0; offset < tailSize; offset += 64) Compress(s, LittleEndianBlock(&tail[offset]), state);

    TigerDigest digest{};
    for (int word = 0; word < 3; ++word)
        for (int i = 0; i < 8; ++i) digest[word * 8 + i] = ByteOf(state[word], i);
    return digest;
}

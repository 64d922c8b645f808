#include "engine/hublist/bzip2_stream.h"

#include <gtest/gtest.h>

#include <random>

#include "support/bzip2_compress.h"

namespace {

struct Drained {
    bool ok = true;
    std::string text;
};

Drained DrainStream(const std::string& compressed, std::size_t piece) {
    Bzip2ReadStream stream(compressed);
    Drained out;
    std::string buffer(piece, '\0');
    for (int reads = 0; reads < 10'000'000; ++reads) {
        const auto got = stream.Read(buffer.data(), buffer.size());
        if (!got) {
            out.ok = false;
            EXPECT_FALSE(stream.Error().empty());
            return out;
        }
        if (*got == 0) return out;
        out.text.append(buffer, 0, *got);
    }
    ADD_FAILURE() << "the stream never ended";
    return out;
}

// Text that compresses badly, so that the compressed stream spans several input pieces.
std::string NoisyText(std::size_t size) {
    std::mt19937 random(7);
    std::string text(size, '\0');
    for (char& c : text) c = static_cast<char>('a' + random() % 26);
    return text;
}

TEST(Bzip2ReadStream, ReturnsTheTextOfOneWholeStream) {
    const std::string small = "<Hublist><Hub Address=\"a:1\"/></Hublist>";
    const std::string large = NoisyText(400000);
    ASSERT_GT(Bzip2Compress(large).size(), 3u * 65536);
    struct Case {
        std::string text;
        std::size_t piece;
    };
    for (const Case& c : {Case{small, 65536}, Case{small, 1}, Case{large, 65536}, Case{large, 4093}}) {
        const Drained result = DrainStream(Bzip2Compress(c.text), c.piece);
        EXPECT_TRUE(result.ok) << "piece " << c.piece;
        EXPECT_EQ(result.text, c.text) << "piece " << c.piece;
    }
}

TEST(Bzip2ReadStream, EmptyInputIsAnEmptyText) {
    const Drained result = DrainStream("", 65536);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.text, "");
}

TEST(Bzip2ReadStream, RefusesAnythingButExactlyOneIntactStream) {
    const std::string text = NoisyText(200000);
    const std::string whole = Bzip2Compress(text);
    std::string corrupted = whole;
    corrupted[corrupted.size() / 2] ^= 0x10;
    struct Case {
        const char* name;
        std::string compressed;
    };
    const Case cases[] = {
        {"two streams", whole + Bzip2Compress("<a/>")},
        {"one trailing byte", whole + "\n"},
        {"cut off inside a block", whole.substr(0, whole.size() / 2)},
        {"cut off before the end marker", whole.substr(0, whole.size() - 4)},
        {"damaged block", corrupted},
        {"plain XML", "<?xml version=\"1.0\"?><Hublist/>"},
        {"bzip2 magic only", "BZh9"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(DrainStream(c.compressed, 65536).ok) << c.name;
        EXPECT_FALSE(DrainStream(c.compressed, 1000).ok) << c.name;
    }
}

}  // namespace

#pragma once

#include <bzlib.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Reads the text of exactly one bzip2 stream held in memory. Anything after the stream's end, a damaged block or a
// stream cut off before its end-of-stream marker is a failure. Empty input is an empty text, not a failure.
class Bzip2ReadStream {
public:
    // compressed must outlive the stream.
    explicit Bzip2ReadStream(std::string_view compressed);
    ~Bzip2ReadStream();
    Bzip2ReadStream(const Bzip2ReadStream&) = delete;
    Bzip2ReadStream& operator=(const Bzip2ReadStream&) = delete;

    // Up to capacity decompressed bytes; 0 at the end of the text; nullopt on failure (see Error()).
    std::optional<std::size_t> Read(char* buffer, std::size_t capacity);
    const std::string& Error() const { return m_error; }

private:
    std::optional<std::size_t> Fail(std::string message);
    bool InputLeft() const { return m_stream.avail_in > 0 || m_offset < m_compressed.size(); }

    static constexpr std::size_t kInputPiece = 65536;

    std::string_view m_compressed;
    std::size_t m_offset = 0;
    bz_stream m_stream{};
    bool m_initialised = false;
    bool m_ended = false;
    std::string m_error;
};

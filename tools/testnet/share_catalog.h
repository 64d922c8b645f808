#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "charset.h"
#include "rng.h"

// One shared file, drawn once and shared by many users, so that popular files (same name, size and TTH) turn up
// from several users as on a real network.
struct CatalogFile {
    uint32_t folder = 0;
    std::string name;  // UTF-8
    int64_t size = 0;
    int type = 0;     // search type code 2 … 7
    std::string tth;  // 39 base32 characters, derived from the seed and the path
};

// One folder; path holds its parents, "\"-separated, without a leading or trailing "\".
struct CatalogFolder {
    std::string path;  // UTF-8
    std::string name;  // UTF-8, the last part of path
    int parent = -1;
};

// The paths of the catalog as a client of one character set sends them. A path the character set cannot hold is
// missing (empty) and never shared by users of that character set.
struct EncodedCatalog {
    std::vector<std::string> filePaths;
    std::vector<std::string> folderPaths;
};

// Every file that any simulated user shares: music, archives, documents, programs, pictures and videos with
// realistic names, some of them with non-ASCII letters (Latin with accents, Cyrillic).
class ShareCatalog {
public:
    static ShareCatalog Generate(uint64_t seed);

    const std::vector<CatalogFile>& Files() const { return m_files; }
    const std::vector<CatalogFolder>& Folders() const { return m_folders; }
    const EncodedCatalog& In(Charset charset) const { return m_encoded[static_cast<std::size_t>(charset)]; }
    // Each file's whole path and each folder's name after SearchMatcher::Lowered, as clients match them.
    const std::vector<std::string>& LoweredFilePaths() const { return m_loweredFilePaths; }
    const std::vector<std::string>& LoweredFolderNames() const { return m_loweredFolderNames; }

    // The 39-character base32 form of a 192-bit Tiger tree hash.
    static std::string Base32(const std::array<uint8_t, 24>& hash);

private:
    uint32_t AddFolder(const std::string& path);
    void AddFile(const std::string& folder, const std::string& name, int64_t size, uint64_t seed);
    void AddMusic(Rng& rng, uint64_t seed);
    void AddVideos(Rng& rng, uint64_t seed);
    void AddArchivesAndPrograms(Rng& rng, uint64_t seed);
    void AddDocuments(Rng& rng, uint64_t seed);
    void AddPictures(Rng& rng, uint64_t seed);
    void Encode();

    std::vector<CatalogFile> m_files;
    std::vector<CatalogFolder> m_folders;
    std::unordered_map<std::string, uint32_t> m_folderByPath;
    std::array<EncodedCatalog, kCharsetCount> m_encoded;
    std::vector<std::string> m_loweredFilePaths;
    std::vector<std::string> m_loweredFolderNames;
};

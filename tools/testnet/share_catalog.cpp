#include "share_catalog.h"

#include <cstdio>

#include "search_matcher.h"

namespace {

using Words = std::vector<std::string>;

constexpr int64_t KiB = 1024;
constexpr int64_t MiB = 1024 * KiB;
constexpr int64_t GiB = 1024 * MiB;

const Words& LatinArtists() {
    static const Words words{"The Midnight Owls",
                             "Paper Lanterns",
                             "Glass Harbour",
                             "Northern Drift",
                             "Velvet Static",
                             "Johann Sebastian Bach",
                             "Ludwig van Beethoven",
                             "Frédéric Chopin",
                             "Antonín Dvořák",
                             "Wolfgang Amadeus Mozart",
                             "Erik Satie",
                             "Björn Ekström Trio",
                             "Les Rêveurs",
                             "Élodie Ménard",
                             "Motörbike",
                             "Sigrún Ósk",
                             "Café Solitaire",
                             "Niño Bravo Quartet",
                             "Blue Kettle",
                             "Copper Lines",
                             "Silent Orchard",
                             "Radio Meridian",
                             "Fjällräven Jazz"};
    return words;
}

const Words& CyrillicArtists() {
    static const Words words{"Белые Ночи",        "Северный Ветер", "Звёздный Путь", "Пётр Чайковский",
                             "Сергей Рахманинов", "Городские Огни", "Тихий Дон"};
    return words;
}

const Words& LatinTitleWords() {
    static const Words words{"Morning", "River", "Light",    "Shadow", "Dance",    "Winter",   "Summer",
                             "Rain",    "Fire",  "Ocean",    "Dream",  "Road",     "Stars",    "Garden",
                             "Silence", "Echo",  "Heart",    "City",   "Mountain", "Storm",    "Golden",
                             "Blue",    "Lost",  "Electric", "Paper",  "Sonata",   "Nocturne", "Prelude",
                             "Waltz",   "Étude", "Café",     "Naïve",  "Señorita", "Über",     "Cœur"};
    return words;
}

const Words& CyrillicTitleWords() {
    static const Words words{"Зимняя", "дорога", "Песня", "Ночной", "город", "Последний", "поезд", "Весна",
                             "Река",   "Звезда", "Ветер", "Осень",  "Море",  "Небо",      "Огонь", "Дождь"};
    return words;
}

const Words& Movies() {
    static const Words words{"Big Buck Bunny",
                             "Sintel",
                             "Tears of Steel",
                             "Elephants Dream",
                             "Cosmos Laundromat",
                             "Spring",
                             "Agent 327",
                             "Caminandes",
                             "Glass Half",
                             "Coffee Run",
                             "Sprite Fright",
                             "Charge",
                             "Wing It",
                             "The Daily Dweebs",
                             "Hero",
                             "Night of the Living Dead",
                             "Nosferatu",
                             "Metropolis",
                             "The General",
                             "Sherlock Jr",
                             "His Girl Friday",
                             "Charade",
                             "Detour",
                             "The Kid",
                             "Le Voyage dans la Lune",
                             "Броненосец Потёмкин",
                             "Человек с киноаппаратом",
                             "Amélie au Café",
                             "Die Büchse der Pandora"};
    return words;
}

const Words& Shows() {
    static const Words words{"Space Patrol", "The Lone Ranger", "Dragnet",      "One Step Beyond",
                             "Bonanza",      "The Cisco Kid",   "Ёжик в тумане"};
    return words;
}

const Words& Books() {
    static const Words words{"Jane Austen - Pride and Prejudice",
                             "Herman Melville - Moby Dick",
                             "Mary Shelley - Frankenstein",
                             "Bram Stoker - Dracula",
                             "Lewis Carroll - Alice in Wonderland",
                             "Arthur Conan Doyle - The Hound of the Baskervilles",
                             "Jules Verne - Vingt mille lieues",
                             "Victor Hugo - Les Misérables",
                             "Johann Wolfgang von Goethe - Die Leiden des jungen Werthers",
                             "Лев Толстой - Война и мир",
                             "Фёдор Достоевский - Преступление и наказание",
                             "Антон Чехов - Вишнёвый сад",
                             "Александр Пушкин - Евгений Онегин",
                             "Homer - The Odyssey",
                             "Dante Alighieri - La Divina Commedia",
                             "Miguel de Cervantes - Don Quijote",
                             "Charles Dickens - Great Expectations",
                             "Mark Twain - Tom Sawyer",
                             "Sun Tzu - The Art of War",
                             "Sir Isaac Newton - Principia"};
    return words;
}

const Words& Programs() {
    static const Words words{"LibreOffice", "GIMP",        "Inkscape",   "VLC media player", "7-Zip",
                             "Blender",     "Audacity",    "Firefox",    "Thunderbird",      "Krita",
                             "Notepad++",   "FileZilla",   "OBS Studio", "Shotcut",          "HandBrake",
                             "KeePassXC",   "qBittorrent", "Darktable",  "MuseScore",        "Scribus"};
    return words;
}

const Words& Places() {
    static const Words words{"Rome",     "Lisbon", "Kraków",          "Zürich",    "Reykjavík",
                             "Praha",    "Москва", "Санкт-Петербург", "Barcelona", "Wedding",
                             "Birthday", "Beach",  "Mountains",       "Christmas", "Garden"};
    return words;
}

std::string TwoDigits(int64_t number) {
    char text[24];
    std::snprintf(text, sizeof text, "%02lld", static_cast<long long>(number));
    return text;
}

std::string Title(Rng& rng, const Words& words, int count) {
    std::string title;
    for (int i = 0; i < count; ++i) {
        if (i > 0) title += ' ';
        title += rng.Pick(words);
    }
    return title;
}

bool IsCyrillic(const std::string& utf8) {
    // Cyrillic letters are encoded from 0xD0 0x80 to 0xD3 0xBF.
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0xD0 && byte <= 0xD3) return true;
    }
    return false;
}

}  // namespace

ShareCatalog ShareCatalog::Generate(uint64_t seed) {
    ShareCatalog catalog;
    Rng rng(Rng::Mix(seed, "catalog"));
    catalog.AddMusic(rng, seed);
    catalog.AddVideos(rng, seed);
    catalog.AddArchivesAndPrograms(rng, seed);
    catalog.AddDocuments(rng, seed);
    catalog.AddPictures(rng, seed);
    catalog.Encode();
    return catalog;
}

std::string ShareCatalog::Base32(const std::array<uint8_t, 24>& hash) {
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    std::string text;
    unsigned buffer = 0;
    int bits = 0;
    for (const uint8_t byte : hash) {
        buffer = (buffer << 8) | byte;
        bits += 8;
        while (bits >= 5) {
            text += alphabet[(buffer >> (bits - 5)) & 31];
            bits -= 5;
        }
    }
    if (bits > 0) text += alphabet[(buffer << (5 - bits)) & 31];
    return text;
}

uint32_t ShareCatalog::AddFolder(const std::string& path) {
    const auto known = m_folderByPath.find(path);
    if (known != m_folderByPath.end()) return known->second;
    const auto slash = path.rfind('\\');
    const int parent = slash == std::string::npos ? -1 : static_cast<int>(AddFolder(path.substr(0, slash)));
    const auto index = static_cast<uint32_t>(m_folders.size());
    m_folders.push_back({path, slash == std::string::npos ? path : path.substr(slash + 1), parent});
    m_folderByPath.emplace(path, index);
    return index;
}

void ShareCatalog::AddFile(const std::string& folder, const std::string& name, int64_t size, uint64_t seed) {
    CatalogFile file;
    file.folder = AddFolder(folder);
    file.name = name;
    file.size = size;
    file.type = SearchMatcher::TypeOfName(name);
    Rng hashRng(Rng::Mix(seed, folder + "\\" + name));
    std::array<uint8_t, 24> hash{};
    for (auto& byte : hash) byte = static_cast<uint8_t>(hashRng.Next());
    file.tth = Base32(hash);
    m_files.push_back(std::move(file));
}

void ShareCatalog::AddMusic(Rng& rng, uint64_t seed) {
    std::vector<std::string> artists = LatinArtists();
    artists.insert(artists.end(), CyrillicArtists().begin(), CyrillicArtists().end());
    for (const auto& artist : artists) {
        const Words& words = IsCyrillic(artist) ? CyrillicTitleWords() : LatinTitleWords();
        const int64_t albums = rng.Between(1, 3);
        for (int64_t album = 0; album < albums; ++album) {
            const bool lossless = rng.Chance(0.2);
            const std::string folder = "Music\\" + artist + "\\" + artist + " - " +
                                       Title(rng, words, static_cast<int>(rng.Between(1, 3))) + " (" +
                                       std::to_string(rng.Between(1965, 2023)) + ")";
            const int64_t tracks = rng.Between(6, 14);
            for (int64_t track = 1; track <= tracks; ++track) {
                const std::string name =
                    TwoDigits(track) + " - " + Title(rng, words, static_cast<int>(rng.Between(1, 3)));
                if (lossless) {
                    AddFile(folder, name + ".flac", rng.Between(18 * MiB, 60 * MiB), seed);
                } else {
                    AddFile(folder, name + (rng.Chance(0.9) ? ".mp3" : ".ogg"), rng.Between(3 * MiB, 12 * MiB), seed);
                }
            }
            if (rng.Chance(0.7)) AddFile(folder, "cover.jpg", rng.Between(40 * KiB, 900 * KiB), seed);
            if (rng.Chance(0.3)) AddFile(folder, artist + ".m3u", rng.Between(200, 2000), seed);
        }
    }
}

void ShareCatalog::AddVideos(Rng& rng, uint64_t seed) {
    static const Words qualities{"1080p.BluRay.x264", "720p.WEB-DL", "DVDRip.XviD", "2160p.HDR.x265", "BDRip"};
    for (const auto& movie : Movies()) {
        const std::string year = std::to_string(rng.Between(1920, 2022));
        const std::string folder = "Movies\\" + movie + " (" + year + ")";
        std::string base = movie;
        for (char& c : base) {
            if (c == ' ') c = '.';
        }
        base += "." + year + "." + rng.Pick(qualities);
        const char* extension = rng.Chance(0.6) ? ".mkv" : (rng.Chance(0.5) ? ".avi" : ".mp4");
        // Some films exceed 4 GiB, so that 64-bit sizes are exercised.
        AddFile(folder, base + extension, rng.Between(700 * MiB, 9 * GiB), seed);
        if (rng.Chance(0.5)) AddFile(folder, base + ".srt", rng.Between(40 * KiB, 120 * KiB), seed);
        if (rng.Chance(0.2)) AddFile(folder + "\\Sample", "sample.mkv", rng.Between(20 * MiB, 80 * MiB), seed);
        if (rng.Chance(0.4)) AddFile(folder, "poster.jpg", rng.Between(100 * KiB, 2 * MiB), seed);
    }
    for (const auto& show : Shows()) {
        const int64_t seasons = rng.Between(1, 3);
        for (int64_t season = 1; season <= seasons; ++season) {
            const std::string folder = "TV\\" + show + "\\Season " + TwoDigits(season);
            const int64_t episodes = rng.Between(6, 12);
            for (int64_t episode = 1; episode <= episodes; ++episode) {
                AddFile(folder, show + " S" + TwoDigits(season) + "E" + TwoDigits(episode) + ".avi",
                        rng.Between(170 * MiB, 1400 * MiB), seed);
            }
        }
    }
}

void ShareCatalog::AddArchivesAndPrograms(Rng& rng, uint64_t seed) {
    static const Words archiveNames{"backup",  "photos", "project",  "sources", "fonts",     "samples", "old_games",
                                    "drivers", "maps",   "textures", "сборник", "документы", "Übungen", "música"};
    static const Words archiveTypes{".zip", ".rar", ".7z", ".tar.gz", ".tar.bz2"};
    for (int i = 0; i < 120; ++i) {
        const std::string name =
            rng.Pick(archiveNames) + "_" + std::to_string(rng.Between(2001, 2023)) + rng.Pick(archiveTypes);
        AddFile("Archives", name, rng.Between(1 * MiB, 5 * GiB), seed);
    }
    for (const auto& program : Programs()) {
        const std::string version = std::to_string(rng.Between(1, 24)) + "." + std::to_string(rng.Between(0, 9)) + "." +
                                    std::to_string(rng.Between(0, 9));
        const std::string folder = "Software\\" + program + " " + version;
        std::string compact = program;
        std::erase(compact, ' ');
        AddFile(folder, compact + "-" + version + (rng.Chance(0.7) ? "-setup.exe" : ".msi"),
                rng.Between(2 * MiB, 400 * MiB), seed);
        if (rng.Chance(0.5))
            AddFile(folder, compact + "-" + version + "-portable.zip", rng.Between(2 * MiB, 300 * MiB), seed);
        if (rng.Chance(0.5)) AddFile(folder, "readme.txt", rng.Between(1 * KiB, 40 * KiB), seed);
        if (rng.Chance(0.2)) AddFile(folder, "install.bat", rng.Between(200, 4 * KiB), seed);
    }
}

void ShareCatalog::AddDocuments(Rng& rng, uint64_t seed) {
    static const Words formats{".pdf", ".epub", ".doc", ".txt", ".rtf", ".odt"};
    for (const auto& book : Books()) {
        const std::string folder = IsCyrillic(book) ? "Книги" : "Books";
        const int64_t editions = rng.Between(1, 3);
        for (int64_t edition = 0; edition < editions; ++edition) {
            const std::string suffix = edition == 0 ? "" : " (" + std::to_string(rng.Between(1900, 2020)) + ")";
            AddFile(folder, book + suffix + rng.Pick(formats), rng.Between(100 * KiB, 40 * MiB), seed);
        }
    }
    static const Words papers{"invoice", "letter", "notes", "manual", "report", "thesis", "résumé", "план", "отчёт"};
    for (int i = 0; i < 60; ++i) {
        AddFile("Documents",
                rng.Pick(papers) + "_" + std::to_string(rng.Between(1, 300)) + (rng.Chance(0.5) ? ".docx" : ".xls"),
                rng.Between(10 * KiB, 5 * MiB), seed);
    }
}

void ShareCatalog::AddPictures(Rng& rng, uint64_t seed) {
    for (const auto& place : Places()) {
        const std::string folder = "Pictures\\" + place + " " + std::to_string(rng.Between(2005, 2023));
        const int64_t first = rng.Between(1, 8000);
        const int64_t count = rng.Between(10, 40);
        for (int64_t photo = first; photo < first + count; ++photo) {
            AddFile(folder, "IMG_" + std::to_string(photo) + ".jpg", rng.Between(800 * KiB, 8 * MiB), seed);
        }
    }
    static const Words subjects{"aurora", "forest", "galaxy", "lighthouse", "desert", "city_night", "waterfall"};
    static const Words resolutions{"1920x1080", "2560x1440", "3840x2160", "1366x768"};
    for (int i = 0; i < 50; ++i) {
        AddFile("Pictures\\Wallpapers",
                rng.Pick(subjects) + "_" + std::to_string(i) + "_" + rng.Pick(resolutions) +
                    (rng.Chance(0.6) ? ".png" : ".jpg"),
                rng.Between(300 * KiB, 12 * MiB), seed);
    }
}

void ShareCatalog::Encode() {
    for (std::size_t i = 0; i < kCharsetCount; ++i) {
        const HubEncoding& encoding = EncodingOf(static_cast<Charset>(i));
        const auto encode = [&encoding](const std::string& utf8) { return encoding.FromUtf8(utf8).value_or(""); };
        EncodedCatalog& encoded = m_encoded[i];
        for (const auto& folder : m_folders) encoded.folderPaths.push_back(encode(folder.path));
        for (const auto& file : m_files)
            encoded.filePaths.push_back(encode(m_folders[file.folder].path + "\\" + file.name));
    }
    for (const auto& folder : m_folders) m_loweredFolderNames.push_back(SearchMatcher::Lowered(folder.name));
    for (const auto& file : m_files)
        m_loweredFilePaths.push_back(SearchMatcher::Lowered(m_folders[file.folder].path + "\\" + file.name));
}

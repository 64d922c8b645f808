#include "cli/result_writer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// A file whose texts need every kind of quoting, with a non-ASCII letter, and a folder.
SearchResult AwkwardFile() {
    SearchResult file;
    file.FileName = "Caf\xC3\xA9, \"live\".mp3";
    file.Size = 1234567;
    file.SlotsText = "2/4";
    file.FreeSlots = 2;
    file.TotalSlots = 4;
    file.User = "a\\b";
    file.HubAddress = "127.0.0.1:4111";
    file.Path = "Music\\Line\nBreak\\";
    return file;
}

SearchResult Folder() {
    SearchResult folder;
    folder.FileName = "Films\\Open Movies\\";
    folder.Path = folder.FileName;
    folder.SizeText = std::string(kDirectorySizeText);
    folder.Size = -1;
    folder.SlotsText = "0/1";
    folder.TotalSlots = 1;
    folder.User = "bob";
    folder.HubAddress = "hub.example:411";
    return folder;
}

std::string Written(OutputFormat format) {
    std::ostringstream out;
    ResultWriter writer(format, out);
    writer.WriteHeader();
    writer.Write(AwkwardFile());
    writer.Write(Folder());
    return out.str();
}

TEST(ResultWriterTest, JsonIsOneTypedObjectPerLineInUtf8) {
    EXPECT_EQ(Written(OutputFormat::Json),
              "{\"file\":\"Caf\xC3\xA9, \\\"live\\\".mp3\",\"size\":1234567,\"directory\":false,"
              "\"path\":\"Music\\\\Line\\u000aBreak\\\\\",\"user\":\"a\\\\b\",\"free_slots\":2,\"total_slots\":4,"
              "\"hub\":\"127.0.0.1:4111\"}\n"
              "{\"file\":\"Films\\\\Open Movies\\\\\",\"size\":null,\"directory\":true,"
              "\"path\":\"Films\\\\Open Movies\\\\\",\"user\":\"bob\",\"free_slots\":0,\"total_slots\":1,"
              "\"hub\":\"hub.example:411\"}\n");
}

TEST(ResultWriterTest, CsvQuotesOnlyWhatRfc4180Requires) {
    EXPECT_EQ(Written(OutputFormat::Csv),
              "file,size,directory,path,user,free_slots,total_slots,hub\r\n"
              "\"Caf\xC3\xA9, \"\"live\"\".mp3\",1234567,false,\"Music\\Line\nBreak\\\",a\\b,2,4,127.0.0.1:4111\r\n"
              "Films\\Open Movies\\,,true,Films\\Open Movies\\,bob,0,1,hub.example:411\r\n");
}

TEST(ResultWriterTest, TableShowsSizesAsTheWindowDoesAndTheFullPath) {
    const std::string table = Written(OutputFormat::Table);
    const std::string header = table.substr(0, table.find('\n'));
    EXPECT_EQ(header, "      SIZE  SLOTS    USER              HUB                    FILE");
    EXPECT_EQ(table.substr(header.size() + 1),
              "   1.18 MB  2/4      a\\b               127.0.0.1:4111         Music\\Line\nBreak\\Caf\xC3\xA9, "
              "\"live\".mp3\n"
              "     <DIR>  0/1      bob               hub.example:411        Films\\Open Movies\\\n");
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/results/result_export.h"
#include "engine/results/result_store.h"

namespace {

constexpr std::string_view kTth = "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ";

// Rows as the list holds them (UTF-8): a file with every character CSV and JSON must escape, a Cyrillic name and a
// directory.
class ExportTest : public testing::Test {
protected:
    ExportTest() {
        Append("say \"hi\", bye\r\n.txt", 1234567890123, "2/4", "al\\ice", "127.0.0.1:411", "a\tb\\", kTth);
        Append("Кино.avi", 5, "0/1", "bob", "hub.example.org", "");
        Append("Films\\Shorts\\", -1, "1/1", "carol", "127.0.0.1:412", "Films\\Shorts\\");
    }

    void Append(std::string name, int64_t size, std::string slots, std::string user, std::string hub, std::string path,
                std::string_view tth = {}) {
        SearchResult r;
        r.FileName = std::move(name);
        r.Size = size;
        r.SizeText = size == -1 ? std::string(kDirectorySizeText) : "";
        r.SlotsText = slots;
        r.FreeSlots = slots[0] - '0';
        r.TotalSlots = slots[2] - '0';
        r.User = std::move(user);
        r.HubAddress = std::move(hub);
        r.Path = std::move(path);
        r.Tth = tth;
        m_store.Append(r);
    }

    std::string Export(ExportFormat format, std::size_t rows) {
        std::string document;
        ResultExporter exporter(format, [&document](std::string_view bytes) {
            document += bytes;
            return true;
        });
        for (std::size_t i = 0; i < rows; ++i) EXPECT_TRUE(exporter.Add(m_store.Row(i)));
        EXPECT_TRUE(exporter.Finish());
        return document;
    }

    ResultStore m_store;
};

TEST_F(ExportTest, WritesCsvAfterRfc4180) {
    EXPECT_EQ(Export(ExportFormat::kCsv, 3),
              "Filename,Size,Slots,User,Hub IP Address,Path,TTH\r\n"
              "\"say \"\"hi\"\", bye\r\n.txt\",1234567890123,2/4,al\\ice,127.0.0.1:411,a\tb\\,"
              "LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ\r\n"
              "Кино.avi,5,0/1,bob,hub.example.org,,\r\n"
              "Films\\Shorts\\,,1/1,carol,127.0.0.1:412,Films\\Shorts\\,\r\n");
}

TEST_F(ExportTest, WritesJsonWithTypedFields) {
    EXPECT_EQ(Export(ExportFormat::kJson, 3),
              "[\n"
              "{\"fileName\":\"say \\\"hi\\\", bye\\u000d\\u000a.txt\",\"path\":\"a\\u0009b\\\\\",\"directory\":false,"
              "\"size\":1234567890123,\"freeSlots\":2,\"totalSlots\":4,\"slots\":\"2/4\",\"user\":\"al\\\\ice\","
              "\"hubAddress\":\"127.0.0.1:411\",\"tth\":\"LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ\"},\n"
              "{\"fileName\":\"Кино.avi\",\"path\":\"\",\"directory\":false,\"size\":5,\"freeSlots\":0,"
              "\"totalSlots\":1,\"slots\":\"0/1\",\"user\":\"bob\",\"hubAddress\":\"hub.example.org\",\"tth\":null},\n"
              "{\"fileName\":\"Films\\\\Shorts\\\\\",\"path\":\"Films\\\\Shorts\\\\\",\"directory\":true,"
              "\"size\":null,\"freeSlots\":1,\"totalSlots\":1,\"slots\":\"1/1\",\"user\":\"carol\","
              "\"hubAddress\":\"127.0.0.1:412\",\"tth\":null}\n"
              "]\n");
    EXPECT_EQ(Export(ExportFormat::kJson, 0), "[]\n");
}

TEST_F(ExportTest, StopsAtTheFirstOutputFailure) {
    int calls = 0;
    ResultExporter exporter(ExportFormat::kCsv, [&calls](std::string_view) { return ++calls > 1; });
    const std::string longName(70000, 'n');  // one row past the chunk size makes the writer hand over
    Append(longName, 1, "1/1", "u", "h", "");
    EXPECT_FALSE(exporter.Add(m_store.Row(3)));
    EXPECT_FALSE(exporter.Add(m_store.Row(0)));
    EXPECT_FALSE(exporter.Finish());
    EXPECT_EQ(calls, 1) << "nothing is handed over after a failure";
}

}  // namespace

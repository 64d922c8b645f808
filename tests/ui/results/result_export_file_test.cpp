#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"
#include "ui/results/result_export_file.h"
#include "ui/results/result_model.h"

namespace {

SearchResult Make(std::string name, std::string user) {
    SearchResult r;
    r.FileName = std::move(name);
    r.Size = 42;
    r.SlotsText = "1/2";
    r.User = std::move(user);
    r.HubAddress = "127.0.0.1:411";
    r.Path = "Films\\";
    return r;
}

TEST(ResultExportFile, WritesTheShownRowsAndSaysWhyWhenItCannot) {
    ResultModel model;
    model.Append(Make("bunny.avi", "alice"));
    model.Append(Make("sintel.mkv", "alice"));
    model.Append(Make("bunny.srt", "bob"));
    model.SetFilter("user:alice");  // one user's rows
    TempDir dir;
    const std::string file = dir.File("alice.csv");
    WriteFile(file, "old");

    EXPECT_EQ(ExportShownRows(model, QString::fromStdString(file), ExportFormat::kCsv), std::nullopt);
    EXPECT_EQ(ReadFile(file),
              "Filename,Size,Slots,User,Hub IP Address,Path,TTH\r\n"
              "bunny.avi,42,1/2,alice,127.0.0.1:411,Films\\,\r\n"
              "sintel.mkv,42,1/2,alice,127.0.0.1:411,Films\\,\r\n");

    const std::string missing = dir.File("no such folder/alice.json");
    const auto failure = ExportShownRows(model, QString::fromStdString(missing), ExportFormat::kJson);
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->contains(QString::fromStdString(missing))) << failure->toStdString();
    EXPECT_EQ(ReadFile(file).substr(0, 8), "Filename") << "the earlier export stays";
}

}  // namespace

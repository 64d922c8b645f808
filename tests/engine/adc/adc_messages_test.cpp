#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/adc/adc_messages.h"

namespace {

const std::string kCid = "ZXO4VT7KPNYLJBLFLOR5YP3A33SPNOHYMEDJ4MY";

TEST(AdcMessages, ParsesHeadersByMessageType) {
    using Parts = std::vector<std::string_view>;
    const struct {
        std::string line;
        char type;
        std::string_view command, source, target;
        Parts parameters;
    } cases[] = {
        {"ISUP ADBASE ADTIGR", 'I', "SUP", "", "", {"ADBASE", "ADTIGR"}},
        {"IGPA", 'I', "GPA", "", "", {}},
        {"BINF AAAB NIme\\sand\\syou SS0", 'B', "INF", "AAAB", "", {"NIme\\sand\\syou", "SS0"}},
        {"DRES AAAB ABCD FN/a TO1", 'D', "RES", "AAAB", "ABCD", {"FN/a", "TO1"}},
        {"EMSG AAAB ABCD hi", 'E', "MSG", "AAAB", "ABCD", {"hi"}},
        {"FSCH AAAB +TCP4-NAT0 ANx", 'F', "SCH", "AAAB", "", {"ANx"}},
        {"URES " + kCid + " SI1", 'U', "RES", kCid, "", {"SI1"}},
        {"HSU2 x", 'H', "SU2", "", "", {"x"}},
    };
    for (const auto& c : cases) {
        const std::optional<AdcMessage> message = ParseAdcMessage(c.line);
        ASSERT_TRUE(message) << c.line;
        EXPECT_EQ(message->Type, c.type) << c.line;
        EXPECT_EQ(message->Command, c.command) << c.line;
        EXPECT_EQ(message->Source, c.source) << c.line;
        EXPECT_EQ(message->Target, c.target) << c.line;
        EXPECT_EQ(message->Parameters, c.parameters) << c.line;
    }
}

TEST(AdcMessages, RefusesMalformedLines) {
    for (const std::string line : {"", "BIN", "XINF AAAB", "Binf AAAB", "BI-F AAAB", "BINFAAAB", "BINF", "BINF AAA",
                                   "BINF aaab", "BINF AAAB  NIx", "BINF AAAB NIx ", "BINF AAAB NI\\x", "DRES AAAB",
                                   "DRES AAAB 1234", "URES SHORTCID SI1", "ISTA 000 a\\", "IINF \\s\\q"})
        EXPECT_FALSE(ParseAdcMessage(line).has_value()) << line;
}

TEST(AdcMessages, BuildsLoginMessages) {
    EXPECT_EQ(AdcSupportsMessage(), "HSUP ADBASE ADTIGR\n");
    AdcLoginInfo info{"AAAB",      kCid, "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "the tester", "5368709120",
                      "127.0.0.1", 0};
    const std::string common =
        "BINF AAAB ID" + kCid +
        " PDAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA NIthe\\stester SS5368709120 SL10 HN1 HR0 HO0 "
        "VEHubsift\\s" HUBSIFT_VERSION;
    EXPECT_EQ(AdcInfoMessage(info), common + "\n") << "passive";
    info.UdpPort = 4012;
    EXPECT_EQ(AdcInfoMessage(info), common + " SUUDP4 I4127.0.0.1 U44012\n") << "active";
}

SearchForm Form(int fileType, int sizeCondition = kAnyFileSize) {
    SearchForm form;
    form.fileType = fileType;
    form.sizeCondition = sizeCondition;
    return form;
}

SearchCriteria Limits(int64_t low, int64_t high) {
    SearchCriteria criteria;
    criteria.SizeFilterLow = low;
    criteria.SizeFilterHigh = high;
    return criteria;
}

TEST(AdcMessages, SearchCarriesEachCriterion) {
    const std::string audio =
        " TY1 EXmp3 EXflac EXogg EXopus EXm4a EXaac EXwav EXwma EXape EXmpc EXwv EXaif EXaiff "
        "EXmid EXmka EXac3 EXdts";
    const struct {
        const char* name;
        std::string_view phrase;
        SearchForm form;
        SearchCriteria criteria;
        std::string sent;
    } cases[] = {
        {"words", "big buck", Form(kAnyFileType), Limits(-1, -1), "BSCH AAAB ANbig ANbuck TOt1\n"},
        {"extra blanks", "  big   buck ", Form(kAnyFileType), Limits(-1, -1), "BSCH AAAB ANbig ANbuck TOt1\n"},
        {"escaped word", "a\\b", Form(kAnyFileType), Limits(-1, -1), "BSCH AAAB ANa\\\\b TOt1\n"},
        {"excluded word", "bunny -cam -", Form(kAnyFileType), Limits(-1, -1), "BSCH AAAB ANbunny AN- NOcam TOt1\n"},
        {"at least", "x", Form(kAnyFileType, kAtLeast), Limits(1024, -1), "BSCH AAAB ANx GE1024 TOt1\n"},
        {"at most", "x", Form(kAnyFileType, kAtMost), Limits(2048, -1), "BSCH AAAB ANx LE2048 TOt1\n"},
        {"between", "x", Form(kAnyFileType, kBetween), Limits(10, 20), "BSCH AAAB ANx GE10 LE20 TOt1\n"},
        {"between from zero", "x", Form(kAnyFileType, kBetween), Limits(0, 20), "BSCH AAAB ANx LE20 TOt1\n"},
        {"audio", "x", Form(kAudioFiles), Limits(-1, -1), "BSCH AAAB ANx" + audio + " TOt1\n"},
        {"executables", "x", Form(kExecutableFiles), Limits(-1, -1),
         "BSCH AAAB ANx TY1 EXexe EXcom EXmsi EXbat EXcmd EXapk EXdeb EXrpm EXdmg EXappimage TOt1\n"},
        {"folders", "x", Form(kFolders), Limits(-1, -1), "BSCH AAAB ANx TY2 TOt1\n"},
        {"tth", " LWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ ", Form(kTthSearch), Limits(-1, -1),
         "BSCH AAAB TRLWPNACQDBZRYXW3VHJVCJ64QBZNGHOHHHZWCLNQ TOt1\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AdcSearchMessage("AAAB", AdcQueryFor(c.phrase, c.form, c.criteria), "t1"), c.sent) << c.name;
    // Every file type but Any and Folders names extensions, and each type its own.
    std::vector<std::string> sent;
    for (int type = kAudioFiles; type <= kVideoFiles; ++type) {
        const AdcSearchQuery query = AdcQueryFor("x", Form(type), Limits(-1, -1));
        EXPECT_EQ(query.Kind, AdcResultKind::FilesOnly) << type;
        EXPECT_FALSE(query.Extensions.empty()) << type;
        for (const std::string& other : sent) EXPECT_NE(AdcSearchMessage("AAAB", query, "t"), other) << type;
        sent.push_back(AdcSearchMessage("AAAB", query, "t"));
    }
}

TEST(AdcMessages, ReadsWhatTheHubSends) {
    const auto parse = [](std::string_view line) { return ParseAdcMessage(line).value(); };

    const std::optional<AdcStatus> fatal = ParseAdcStatus(parse("ISTA 222 Nick\\staken,\\splease\\spick\\sanother"));
    ASSERT_TRUE(fatal);
    EXPECT_EQ(fatal->Severity, 2);
    EXPECT_EQ(fatal->Code, 22);
    EXPECT_EQ(fatal->Text, "Nick taken, please pick another");
    EXPECT_EQ(ParseAdcStatus(parse("ISTA 000"))->Text, "");
    for (const char* bad : {"ISTA 22 x", "ISTA 2x2 x", "ISTA", "IMSG 222 x"})
        EXPECT_FALSE(ParseAdcStatus(parse(bad))) << bad;

    EXPECT_EQ(ParseAdcSid(parse("ISID AAAB")), "AAAB");
    for (const char* bad : {"ISID", "ISID AAB", "BSID AAAB", "ISUP AAAB"}) EXPECT_FALSE(ParseAdcSid(parse(bad))) << bad;

    const std::string userLine = "BINF AAAC ID" + kCid + " NIJ\\sDoe SL4 SS1";
    const std::optional<AdcUserInfo> user = ParseAdcUserInfo(parse(userLine));
    ASSERT_TRUE(user);
    EXPECT_EQ(user->Sid, "AAAC");
    EXPECT_EQ(user->Cid, kCid);
    EXPECT_EQ(user->Nick, "J Doe");
    EXPECT_EQ(user->Slots, 4);
    const std::optional<AdcUserInfo> update = ParseAdcUserInfo(parse("BINF AAAC SS2 SL99999999999"));
    ASSERT_TRUE(update);
    EXPECT_EQ(update->Cid, "");
    EXPECT_EQ(update->Slots, -1);
    EXPECT_FALSE(ParseAdcUserInfo(parse("BINF AAAC IDSHORT")));
    EXPECT_FALSE(ParseAdcUserInfo(parse("IINF NIhub")));

    const std::optional<AdcQuit> quit = ParseAdcQuit(parse("IQUI MSAB MSGo\\saway RDadc://elsewhere:411"));
    ASSERT_TRUE(quit);
    EXPECT_EQ(quit->Sid, "MSAB");
    EXPECT_EQ(quit->Message, "Go away");
    EXPECT_EQ(quit->Redirect, "adc://elsewhere:411");
    EXPECT_FALSE(ParseAdcQuit(parse("IQUI MS")));
}

}  // namespace

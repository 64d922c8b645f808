#include "engine/hublist/hublist_loader.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/search/hub_queue.h"
#include "support/http_responder.h"
#include "support/idle_fifo.h"
#include "support/temp_dir.h"

namespace {

using Hubs = std::vector<std::pair<std::string, int32_t>>;

struct Loaded {
    HubListLoad load;
    Hubs hubs;
};

Loaded LoadFile(const std::string& path) {
    HubQueue queue;
    Loaded out;
    out.load = LoadHubList(path, queue);
    while (const HubEntry* hub = queue.NextHub()) out.hubs.emplace_back(hub->Host, hub->Port);
    EXPECT_EQ(queue.Count(), static_cast<int32_t>(out.hubs.size()));
    return out;
}

Loaded Load(const std::string& document) {
    TempDir dir;
    WriteFile(dir.File("hublist.xml"), document);
    return LoadFile(dir.File("hublist.xml"));
}

std::string ListOf(const std::string& hubs) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Hublist name=\"Public\">\n<Hubs>\n" + hubs +
           "\n</Hubs>\n</Hublist>\n";
}

std::string HubWithAddress(const std::string& address) {
    return "<Hub Name=\"Some hub\" Address=\"" + address + "\" Users=\"12\" Shared=\"1234567\"/>";
}

TEST(LoadHubList, AddressForms) {
    struct Case {
        std::string address;
        Hubs expected;
    };
    const Case cases[] = {
        {"dchub://hub.example.org:411", {{"hub.example.org", 411}}},
        {"hub.example.org:411", {{"hub.example.org", 411}}},
        {"hub.example.org", {{"hub.example.org", 411}}},
        {"dchub://hub.example.org", {{"hub.example.org", 411}}},
        {"10.1.2.3:4111/path/x", {{"10.1.2.3", 4111}}},
        {"hub.example.org:0411", {{"hub.example.org", 411}}},
        {"hub.example.org:", {}},
        {"hub.example.org:abc", {}},
        {"hub.example.org: 411", {}},
        {"DCHUB://hub.example.org:411", {}},
        {":411", {{"", 411}}},
        {"hub.example.org:70000", {{"hub.example.org", 70000}}},
        {"hub.example.org:2147483647", {{"hub.example.org", 2147483647}}},
        {"x dchub://hub.example.org:5", {{"hub.example.org", 5}}},
        {" hub.example.org :7", {{" hub.example.org ", 7}}},
        {"a:b:9", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        const Loaded loaded = Load(ListOf(HubWithAddress(c.address)));
        EXPECT_TRUE(loaded.load.read);
        EXPECT_FALSE(loaded.load.failed) << c.address;
        EXPECT_EQ(loaded.hubs, c.expected) << c.address;
    }
}

TEST(LoadHubList, SchemesGiveProtocolAndKeyprint) {
    struct Case {
        std::string address;
        bool loaded;
        std::string host{};
        int32_t port = 0;
        HubProtocol protocol = HubProtocol::Nmdc;
        std::string keyprint{};
    };
    const Case cases[] = {
        {"adc://hub.example.org:1511", true, "hub.example.org", 1511, HubProtocol::Adc, ""},
        {"adcs://hub.example.org:1511/?kp=SHA256/ABC", true, "hub.example.org", 1511, HubProtocol::AdcTls,
         "SHA256/ABC"},
        {"adcs://h:5?x=1&amp;kp=SHA256/K&amp;y=2", true, "h", 5, HubProtocol::AdcTls, "SHA256/K"},
        {"adc://h:5/?kp=SHA256/K", true, "h", 5, HubProtocol::Adc, ""},
        {"nmdcs://hub.example.org:411/?kp=SHA256/Q", true, "hub.example.org", 411, HubProtocol::NmdcTls, "SHA256/Q"},
        {"nmdcs://hub.example.org", true, "hub.example.org", 411, HubProtocol::NmdcTls, ""},
        {"dchub://h:7/?kp=SHA256/K", true, "h", 7, HubProtocol::Nmdc, ""},
        {"dchub://hub.example.org:411/adc://", true, "hub.example.org", 411, HubProtocol::Nmdc, ""},
        {"text adcs://h:9", true, "h", 9, HubProtocol::AdcTls, ""},
        {"adc://hub.example.org", false},
        {"adcs://hub.example.org:/", false},
        {"ADC://h:5", false},
        {"http://h:5", false},
    };
    for (const Case& c : cases) {
        HubQueue queue;
        LoadHubListText(ListOf(HubWithAddress(c.address)), queue);
        const HubEntry* hub = queue.NextHub();
        ASSERT_EQ(hub != nullptr, c.loaded) << c.address;
        if (hub == nullptr) continue;
        EXPECT_EQ(hub->Host, c.host) << c.address;
        EXPECT_EQ(hub->Port, c.port) << c.address;
        EXPECT_EQ(hub->Protocol, c.protocol) << c.address;
        EXPECT_EQ(hub->Keyprint, c.keyprint) << c.address;
        EXPECT_EQ(queue.CountOf(c.protocol), 1) << c.address;
    }
}

TEST(LoadHubList, OnlyEmptyHubElementsWithAnAddressCountAndDuplicatesStay) {
    const Loaded loaded = Load(ListOf(
        "<hub Address=\"lower:1\"/><HUB Address=\"upper:2\"/><Hub address=\"attr:3\"/>"
        "<Hub Address=\"pair:4\"></Hub><Hub Address=\"text:5\">x</Hub><Hub/><Hub Address=\"\"/>"
        "<!-- <Hub Address=\"comment:6\"/> --><![CDATA[<Hub Address=\"cdata:7\"/>]]><?pi <Hub Address=\"pi:8\"/>?>"
        "<x Address=\"other:9\"/><a><b><c><Hub Address=\"deep:10\"/></c></b></a>"
        "<Hub Address=\"twice:11\"/><Hub Address=\"twice:11\"/>"));
    EXPECT_TRUE(loaded.load.read);
    EXPECT_FALSE(loaded.load.failed);
    EXPECT_EQ(loaded.hubs, (Hubs{{"deep", 10}, {"twice", 11}, {"twice", 11}}));
    EXPECT_EQ(Load("<Hub Address=\"root:1\"/>").hubs, (Hubs{{"root", 1}}));
}

TEST(LoadHubList, PortAbove32BitsFailsAndCostsOnlyItsHub) {
    for (const char* port : {"2147483648", "99999999999999999999999"}) {
        const Loaded loaded = Load(ListOf(HubWithAddress("a:1") + HubWithAddress("b:2") +
                                          HubWithAddress(std::string("big:") + port) + HubWithAddress("c:3")));
        EXPECT_TRUE(loaded.load.read);
        EXPECT_TRUE(loaded.load.failed) << port;
        EXPECT_EQ(loaded.hubs, (Hubs{{"a", 1}, {"b", 2}, {"c", 3}})) << port;
    }
}

TEST(LoadHubList, AttributeValuesComeOutAsUtf8) {
    struct Case {
        const char* name;
        std::string document;
        std::string host;
    };
    const Case cases[] = {
        {"declared UTF-8",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><l><Hub Address=\"h\xC3\xA9\xE4\xB8\xAD:1\"/></l>", "hé中"},
        {"declared utf8, single quotes", "<?xml version='1.0' encoding='utf8'?><l><Hub Address='h\xC3\xA9:1'/></l>",
         "hé"},
        {"no encoding declared", "<?xml version=\"1.0\"?><l><Hub Address=\"h\xC3\xA9:1\"/></l>", "hé"},
        {"UTF-8 character reference", "<?xml version=\"1.0\"?><l><Hub Address=\"h&#xE9;&#20013;:1\"/></l>", "hé中"},
        {"declared windows-1251",
         "<?xml version=\"1.0\" encoding=\"windows-1251\"?><l><Hub Address=\"\xE2\xFF:1\"/></l>", "вя"},
        {"declared windows-1250",
         "<?xml version=\"1.0\" encoding=\"windows-1250\"?><l><Hub Address=\"\xB3\xF3"
         "d\x9F:1\"/></l>",
         "łódź"},
        {"UTF-8 bytes without a declaration", "<l><Hub Address=\"\xC3\xA9:1\"/></l>", "é"},
        {"bytes and character references",
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?><l><Hub Address=\"caf\xE9&#20013;:1\"/></l>", "café中"},
    };
    for (const Case& c : cases) {
        const Loaded loaded = Load(c.document);
        EXPECT_FALSE(loaded.load.failed) << c.name;
        EXPECT_EQ(loaded.hubs, (Hubs{{c.host, 1}})) << c.name;
    }
}

TEST(LoadHubList, ReferencesAreReplacedAndLineBreaksBecomeSpaces) {
    const Loaded loaded = Load(
        "<?xml version=\"1.0\"?>\n<!DOCTYPE Hublist [<!ENTITY net \"example.net\"><!ENTITY host \"dc.&net;\">]>\n"
        "<Hublist><Hubs>"
        "<Hub Address=\"&host;:&#52;&#x31;1\"/>"
        "<Hub Address=\"&lt;&amp;&gt;&quot;&apos;:1\"/>"
        "<Hub Address=\"a&#9;b&#10;c&#13;d\te\nf:2\"/>"
        "</Hubs></Hublist>");
    EXPECT_FALSE(loaded.load.failed);
    EXPECT_EQ(loaded.hubs, (Hubs{{"dc.example.net", 411}, {"<&>\"'", 1}, {"a b c d e f", 2}}));
}

TEST(LoadHubList, NeverReadsFilesOrTheNetworkItNames) {
    TempDir dir;
    WriteFile(dir.File("secret.txt"), "secret.example.org:1");
    WriteFile(dir.File("evil.dtd"), "<!ENTITY leak \"secret.example.org:2\">");
    HttpResponder server({200, "OK", {}, "<!ENTITY leak \"secret.example.org:3\">"});
    const std::string secret = "file://" + dir.File("secret.txt");
    const std::string dtd = "file://" + dir.File("evil.dtd");
    const std::string documents[] = {
        "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY x SYSTEM \"" + secret + "\">]><l><Hub Address=\"&x;\"/></l>",
        "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY x SYSTEM \"" + secret + "\">]><l><Hub Address=\"a:1\"/>&x;</l>",
        "<?xml version=\"1.0\"?><!DOCTYPE l SYSTEM \"" + dtd + "\"><l><Hub Address=\"&leak;\"/></l>",
        "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY % p SYSTEM \"" + dtd +
            "\"> %p;]><l><Hub Address=\"&leak;\"/></l>",
        "<?xml version=\"1.0\"?><!DOCTYPE l SYSTEM \"" + server.Url("/x.dtd") + "\"><l><Hub Address=\"&leak;\"/></l>",
        "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY x SYSTEM \"" + server.Url("/x") + "\">]><l>&x;</l>",
        "<?xml version=\"1.0\"?><?xml-stylesheet href=\"" + server.Url("/s") + "\"?><l xmlns:xi=\"" +
            "http://www.w3.org/2001/XInclude\"><xi:include href=\"" + secret + "\" parse=\"text\"/></l>",
    };
    for (const std::string& document : documents) {
        const Loaded loaded = Load(document);
        for (const auto& [host, port] : loaded.hubs) EXPECT_EQ(host.find("secret"), std::string::npos) << document;
    }
    EXPECT_TRUE(server.Requests().empty());
}

TEST(LoadHubList, EntityExpansionBombsFail) {
    std::string laughs = "<!ENTITY l0 \"lol\">";
    for (int i = 1; i <= 9; ++i)
        laughs += "<!ENTITY l" + std::to_string(i) + " \"" + [&] {
            std::string refs;
            for (int k = 0; k < 10; ++k) refs += "&l" + std::to_string(i - 1) + ";";
            return refs;
        }() + "\">";
    std::string quadraticRefs;
    for (int k = 0; k < 20000; ++k) quadraticRefs += "&big;";
    const std::string quadratic = "<!ENTITY big \"" + std::string(100000, 'x') + "\">";
    const std::string documents[] = {
        "<?xml version=\"1.0\"?><!DOCTYPE l [" + laughs + "]><l><Hub Address=\"&l9;\"/></l>",
        "<?xml version=\"1.0\"?><!DOCTYPE l [" + laughs + "]><l>&l9;<Hub Address=\"a:1\"/></l>",
        "<?xml version=\"1.0\"?><!DOCTYPE l [" + quadratic + "]><l><Hub Address=\"" + quadraticRefs + "\"/></l>",
        "<?xml version=\"1.0\"?><!DOCTYPE l [" + quadratic + "]><l>" + quadraticRefs + "</l>",
    };
    for (const std::string& document : documents) {
        const Loaded loaded = Load(document);
        EXPECT_TRUE(loaded.load.failed) << document.substr(0, 120);
        EXPECT_TRUE(loaded.hubs.empty());
    }
}

// Real lists carry stray bytes and broken markup: a fault costs at most the element it is in. The hubs right before
// it (which a parser reading ahead could drop) and every hub after it are loaded.
TEST(LoadHubList, AFaultCostsNoOtherHub) {
    const Hubs around = {{"a", 1}, {"b", 2}, {"c", 3}};
    const Hubs withFaultyHub = {{"a", 1}, {"b", 2}, {"w", 9}, {"c", 3}};
    static constexpr char kControl[] = "<x \0\1\2 a=\"1\"/>";
    const struct {
        std::string fault;
        Hubs hubs;
    } cases[] = {
        {"<Hub Name=\"Caf\xE9\" Address=\"w:9\"/>", withFaultyHub},  // a Windows-1252 byte in a UTF-8 list
        {"<Hub Name=\"A & B\" Address=\"w:9\"/>", withFaultyHub},
        {"<Hub Address=\"<w:9\"/>", around},
        {"</Wrong>", around},
        {"<x a=b/>", around},
        {"<x a=\"1\" a=\"2\"/>", around},
        {"<x a=\"&undefined;\"/>", around},
        {"<x a=\"&#0;\"/>", around},
        {std::string(kControl, sizeof kControl - 1), around},
    };
    for (const auto& c : cases) {
        const Loaded loaded =
            Load(ListOf(HubWithAddress("a:1") + HubWithAddress("b:2") + c.fault + HubWithAddress("c:3")));
        EXPECT_TRUE(loaded.load.read);
        EXPECT_TRUE(loaded.load.failed) << c.fault;
        EXPECT_EQ(loaded.hubs, c.hubs) << c.fault;
    }
    // Where the document ends early or its root is over, the hubs before stay.
    for (const std::string ending : {"<Hub Address=\"c:3\"", "</Hublist><Second/><Hub Address=\"c:3\"/>"}) {
        const Loaded loaded = Load("<Hublist><Hub Address=\"a:1\"/><Hub Address=\"b:2\"/>" + ending);
        EXPECT_TRUE(loaded.load.failed) << ending;
        EXPECT_EQ(loaded.hubs, (Hubs{{"a", 1}, {"b", 2}})) << ending;
    }
    EXPECT_TRUE(Load(std::string("\xFF\xFE<\0H\0", 6)).load.failed) << "UTF-16";
    EXPECT_TRUE(Load("<?xml version=\"1.0\"?><l><Hub Address=\"\xC3(:1\"/></l>").load.failed);
}

TEST(LoadHubList, OneStrayByteInALongListCostsNoHub) {
    std::string hubs;
    for (int i = 0; i < 5000; ++i)
        hubs += "<Hub Name=\"" + std::string(i == 2500 ? "Caf\xE9" : "Hub") + "\" Address=\"hub" + std::to_string(i) +
                ".example.org:411\"/>\n";
    const Loaded loaded = Load(ListOf(hubs));
    EXPECT_TRUE(loaded.load.failed);
    ASSERT_EQ(loaded.hubs.size(), 5000u);
    EXPECT_EQ(loaded.hubs.back().first, "hub4999.example.org");
}

TEST(LoadHubList, EmptyMissingAndUnreadableFiles) {
    const Loaded empty = Load("");
    EXPECT_TRUE(empty.load.read);
    EXPECT_FALSE(empty.load.failed);
    EXPECT_TRUE(empty.hubs.empty());

    const Loaded noHubs = Load(ListOf("<Hub Name=\"no address\"/>"));
    EXPECT_TRUE(noHubs.load.read);
    EXPECT_FALSE(noHubs.load.failed);
    EXPECT_TRUE(noHubs.hubs.empty());

    TempDir dir;
    EXPECT_FALSE(LoadFile(dir.File("missing.xml")).load.read);
    EXPECT_FALSE(LoadFile(dir.Path()).load.read);
    const IdleFifo fifo(dir.File("fifo.xml"));
    ASSERT_TRUE(fifo.Made());
    Loaded fromFifo;
    EXPECT_TRUE(fifo.ReadReturns([&] { fromFifo = LoadFile(dir.File("fifo.xml")); }));
    EXPECT_FALSE(fromFifo.load.read);
}

TEST(LoadHubList, AppendsToWhatTheQueueHolds) {
    HubQueue queue;
    queue.AddHub("earlier", 1);
    EXPECT_FALSE(LoadHubListText(ListOf(HubWithAddress("later:2")), queue).failed);
    EXPECT_EQ(queue.Count(), 2);
    EXPECT_EQ(queue.Remaining(), 2);
    EXPECT_EQ(queue.NextHub()->Host, "earlier");
    EXPECT_EQ(queue.NextHub()->Host, "later");
}

TEST(LoadHubList, EachHubKeepsItsEncoding) {
    HubQueue queue;
    const std::string list =
        ListOf(R"(<Hub Address="ru" Encoding="windows-1251"/><Hub Address="west" Encoding="CP1252"/>)"
               R"(<Hub Address="linux" Encoding="utf8"/><Hub Address="none"/>)"
               R"(<Hub Address="odd" Encoding="klingon"/><Hub Address="ru2" Encoding="CP1251"/>)");
    ASSERT_FALSE(LoadHubListText(list, queue).failed);
    const std::string locale = HubEncoding().Name();
    for (const std::string expected : {"CP1251", "CP1252", "UTF-8", locale.c_str(), locale.c_str(), "CP1251"}) {
        const HubEntry* hub = queue.NextHub();
        ASSERT_NE(hub, nullptr);
        EXPECT_EQ(hub->Encoding->Name(), expected) << hub->Host;
    }
}

// Name and Users are the report's; a count that is no number counts as none.
TEST(LoadHubList, EachHubKeepsItsNameAndUsers) {
    HubQueue queue;
    ASSERT_FALSE(LoadHubListText(ListOf(R"(<Hub Name="Big &amp; Old" Address="a" Users="250"/>)"
                                        R"(<Hub Address="b" Users="many"/>)"),
                                 queue)
                     .failed);
    const HubEntry* first = queue.NextHub();
    EXPECT_EQ(first->Name, "Big & Old");
    EXPECT_EQ(first->Users, 250);
    const HubEntry* second = queue.NextHub();
    EXPECT_EQ(second->Name, "");
    EXPECT_EQ(second->Users, -1);
}

TEST(HubListPath, JoinsTheDataFolder) {
    EXPECT_EQ(HubListPath("/data/Hubsift"), "/data/Hubsift/hublist.xml");
    EXPECT_EQ(HubListPath("/data/Hubsift/"), "/data/Hubsift/hublist.xml");
}

}  // namespace

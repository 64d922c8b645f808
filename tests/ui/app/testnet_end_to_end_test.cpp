#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/net/port_mapper.h"
#include "engine/results/result_column.h"
#include "network_plan.h"
#include "raw_client.h"
#include "search_matcher.h"
#include "share_catalog.h"
#include "simulated_user.h"
#include "support/temp_dir.h"
#include "ui/app/main_window.h"
#include "ui/results/result_list_view.h"
#include "ui/results/result_model.h"
#include "ui/support/message_box.h"
#include "ui/support/progress_state.h"

namespace {

using namespace std::chrono_literals;

constexpr int kHubs = 8;
constexpr int kSearchTimeoutSeconds = 2;
// Strict hubs pass searches on every 1.4 s without those of users who have left: stay a little longer than that.
constexpr auto kLinger = 1500ms;
// By then a run has counted every hub: the silent one fails after the timeout, the others after the linger.
constexpr int kRunEndsMs = kSearchTimeoutSeconds * 1000 + 500;
constexpr int kWaitMs = 10000;

PlanOptions SmallNetwork() {
    PlanOptions options;
    options.hubs = kHubs;
    options.usersPerHub = 6;
    options.badShare = 1.0 / kHubs;  // one bad hub: a silent one
    options.adcShare = 0.15;         // one of the seven others speaks ADC
    options.tlsShare = 0.45;         // three are served over TLS: the ADC one and two NMDC ones
    options.seed = 7;
    return options;
}

SearchRequest Request(const std::string& tail) {
    return *SearchRequest::Parse(SearchLine(1, tail));
}

// The results the users send for a search, less the files above highBytes (-1: none) that the window drops: the
// hubs are only sent the lower limit.
// A passive search is answered by the active users only.
std::size_t CountKept(const NetworkPlan& plan, const std::string& tail, int64_t highBytes, bool passive = false) {
    std::size_t count = 0;
    for (const std::string& message : plan.Answers(Request(tail), passive)) {
        const auto sr = DecodeSr(message.substr(0, message.size() - 1));
        if (sr && (highBytes == -1 || sr->size <= highBytes)) ++count;
    }
    return count;
}

// "nick path" of every shared item that the users of the ADC hubs answer the search with, paths "\"-separated and
// folders ending with "\", as the result list shows them.
std::multiset<std::string> AdcAnswers(const NetworkPlan& plan, const std::string& tail) {
    const SearchMatcher matcher(Request(tail), Charset::Utf8);
    const EncodedCatalog& names = plan.Catalog().In(Charset::Utf8);
    std::multiset<std::string> answers;
    for (const HubPlan& hub : plan.Hubs()) {
        for (const std::size_t user : hub.adc ? hub.users : std::vector<std::size_t>{}) {
            const SimulatedUser& simulated = plan.Users()[user];
            for (const SharedMatch& match : simulated.Find(matcher, plan.Catalog())) {
                answers.insert(simulated.Nick() + " " +
                               (match.folder ? names.folderPaths[match.index] + "\\" : names.filePaths[match.index]));
            }
        }
    }
    return answers;
}

// The folders and file names of a result, "\"-separated.
std::vector<std::string> PathParts(const ResultRow& row) {
    std::vector<std::string> parts;
    const std::string whole = std::string(row.Path) + std::string(row.IsDirectory ? "" : row.FileName);
    for (std::size_t start = 0; start < whole.size();) {
        const std::size_t end = std::min(whole.find('\\', start), whole.size());
        if (end > start) parts.push_back(whole.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The main window searching the simulated network, its hub list taken from the network's HTTP server.
class TestnetEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_net.Started());
        SetMessageBoxHook([this](const std::string& text, MessageIcon) { m_messages.push_back(text); });
        m_settings.Nick = "e2e_tester";
        m_settings.IP = "127.0.0.1";
        m_settings.HublistURL = m_net.Network().HublistUrl();
        m_settings.ShareSizeBytes = "5368709120";
        m_settings.Threads = 10;
        m_settings.SearchTimeout = kSearchTimeoutSeconds;
        // Searches follow each other within seconds here; each must reach every hub.
        m_settings.SkipRecentHubs = false;
        // The system chooses each run's port: no test takes a fixed port that another program might hold.
        m_settings.MinUDPPort = 0;
        m_settings.MaxUDPPort = 0;
        m_window = std::make_unique<MainWindow>(m_settings, m_pending, m_dir.Path());
        // The hubs echo $MyINFO at once; only the linger has to outlast a strict hub's batch.
        m_window->SetExchangeTimings({300ms, kLinger});
        m_window->SetStartupReady();
        m_window->show();
        // The start-up step (no stored list yet) runs from the event loop.
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        m_window.reset();
        SetMessageBoxHook({});
    }

    void RefreshHublist() {
        QTest::mouseClick(m_window->m_refreshButton, Qt::LeftButton);
        const std::string updated = "Hublist updated. Total hubs: " + std::to_string(kHubs);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_messages.empty(); }, 10000));
        ASSERT_EQ(m_messages, std::vector<std::string>{updated});
        m_messages.clear();
        int adcHubs = 0;
        int tlsHubs = 0;
        for (const HubPlan& hub : m_net.Plan().Hubs()) {
            adcHubs += hub.adc ? 1 : 0;
            tlsHubs += hub.tls ? 1 : 0;
        }
        EXPECT_EQ(
            m_window->m_hubCountLabel->text(),
            QStringLiteral("%1 hubs loaded in the list (%2 ADC, %3 over TLS)").arg(kHubs).arg(adcHubs).arg(tlsHubs));
        EXPECT_EQ(m_window->HubCount(), kHubs);
    }
    // Presses Search and checks that the run listens on a port of its own.
    void StartSearch(const QString& phrase) {
        m_window->m_phraseEdit->setText(phrase);
        QTest::mouseClick(m_window->m_searchButton, Qt::LeftButton);
        ASSERT_EQ(m_window->m_searchButton->text(), QStringLiteral("Stop"))
            << (m_messages.empty() ? "" : m_messages.back());
        EXPECT_GT(m_window->CurrentUdpPort(), 0);
    }
    bool WaitForRunEnd() {
        return QTest::qWaitFor([&] { return m_window->m_searchButton->text() == QStringLiteral("Search"); }, kWaitMs);
    }
    void ExpectEveryHubCounted() {
        EXPECT_EQ(m_window->m_searchedLabel->text(), QStringLiteral("Searched: %1").arg(kHubs - 1));
        EXPECT_EQ(m_window->m_failedLabel->text(), QStringLiteral("Failed: 1")) << "the silent hub";
        EXPECT_EQ(m_window->m_progressBar->value(), kHubs);
    }
    const ResultModel& Rows() const { return *m_window->m_resultList->Model(); }

    RunningNetwork m_net{SmallNetwork()};
    AppSettings m_settings;
    std::string m_pending;
    TempDir m_dir;
    std::unique_ptr<MainWindow> m_window;
    std::vector<std::string> m_messages;
};

TEST_F(TestnetEndToEndTest, SearchesFindWhatTheSimulatedUsersShare) {
    int kinds[2] = {0, 0};
    for (const HubPlan& hub : m_net.Plan().Hubs()) {
        if (hub.kind == HubKind::SupportsFirst) ++kinds[0];
        if (hub.kind == HubKind::StrictKey) ++kinds[1];
    }
    ASSERT_TRUE(kinds[0] > 0 && kinds[1] > 0 && kinds[0] + kinds[1] == kHubs - 1) << "the seed gives both hub kinds";
    std::set<std::string> adcNicks;
    for (const HubPlan& hub : m_net.Plan().Hubs()) {
        for (const std::size_t user : hub.adc ? hub.users : std::vector<std::size_t>{})
            adcNicks.insert(m_net.Plan().Users()[user].Nick());
    }
    ASSERT_FALSE(adcNicks.empty()) << "the network has ADC hubs";
    std::set<std::pair<bool, bool>> protocols;  // ADC, TLS
    for (const HubPlan& hub : m_net.Plan().Hubs()) protocols.insert({hub.adc, hub.tls});
    ASSERT_TRUE(protocols.count({false, false}) && protocols.count({false, true}) && protocols.count({true, true}))
        << "the seed gives plain NMDC hubs and both protocols over TLS";
    ASSERT_NO_FATAL_FAILURE(RefreshHublist());

    struct Run {
        const char* name;
        QString phrase;
        int sizeCondition;
        QString low;
        int lowUnit;
        QString high;
        int highUnit;
        bool onlyFreeSlots;
        std::string tail;  // the $Search tail the window sends
        int64_t lowBytes;
        int64_t highBytes;
    };
    const std::vector<Run> runs{
        {"any size", QStringLiteral("mp3"), 0, {}, 2, {}, 2, false, "F?F?0?1?mp3", -1, -1},
        // The limits in different units and in reverse order: the window sorts them.
        {"between", QStringLiteral("mp3"), 3, QStringLiteral("9"), 2, QStringLiteral("4096"), 1, false,
         "T?F?4194304?1?mp3", 4194304, 9437184},
        {"free slots", QStringLiteral("mp3"), 0, {}, 2, {}, 2, true, "F?F?0?1?mp3", -1, -1},
    };
    for (const Run& run : runs) {
        SCOPED_TRACE(run.name);
        m_window->m_sizeConditionBox->setCurrentIndex(run.sizeCondition);
        m_window->m_sizeEdit->setText(run.low);
        m_window->m_sizeUnitBox->setCurrentIndex(run.lowUnit);
        m_window->m_upperSizeEdit->setText(run.high);
        m_window->m_upperSizeUnitBox->setCurrentIndex(run.highUnit);
        m_window->m_freeSlotsCheck->setChecked(run.onlyFreeSlots);
        ASSERT_NO_FATAL_FAILURE(StartSearch(run.phrase));
        ASSERT_TRUE(WaitForRunEnd());
        ExpectEveryHubCounted();
        // Results of strict hubs may still be on their way when the last hub has been counted.
        const auto expected = static_cast<int>(CountKept(m_net.Plan(), run.tail, run.highBytes));
        ASSERT_GT(expected, 0);
        if (run.onlyFreeSlots) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->ResultCount() > 0; }, kWaitMs));
        } else {
            EXPECT_TRUE(QTest::qWaitFor([&] { return m_window->ResultCount() >= expected; }, kWaitMs));
            EXPECT_EQ(m_window->ResultCount(), expected);
        }
        EXPECT_EQ(m_window->m_resultCountLabel->text(), QStringLiteral("Results: %1").arg(m_window->ResultCount()));
        // Rows of a burst show together, moments after they are counted.
        ASSERT_TRUE(QTest::qWaitFor([&] { return Rows().rowCount() == m_window->ResultCount(); }, kWaitMs));
        std::multiset<std::string> adcRows;
        for (int row = 0; row < Rows().rowCount(); ++row) {
            const ResultRow result = Rows().Row(row);
            if (adcNicks.count(std::string(result.User)))
                adcRows.insert(std::string(result.User) + " " + std::string(result.Path) +
                               std::string(result.IsDirectory ? "" : result.FileName));
            if (!result.IsDirectory && run.lowBytes != -1) {
                EXPECT_GE(result.Size, run.lowBytes) << row;
                EXPECT_LE(result.Size, run.highBytes) << row;
            }
            if (run.onlyFreeSlots) {
                EXPECT_FALSE(Rows().CellText(row, 2).startsWith(QStringLiteral("0/"))) << row;
            }
        }
        if (run.lowBytes == -1 && !run.onlyFreeSlots) {
            ASSERT_FALSE(adcRows.empty()) << "ADC users answered";
            EXPECT_EQ(adcRows, AdcAnswers(m_net.Plan(), run.tail));
        }
    }
    EXPECT_TRUE(m_messages.empty());
}

// Users write names in their hub's encoding or in UTF-8, and every name reaches the list as it was written. A Cyrillic
// search reaches only the users of the CP1251, UTF-8 and ADC hubs (the others cannot hold it, or their clients cannot
// read it); a Latin one finds accented and Cyrillic names alike.
TEST_F(TestnetEndToEndTest, NamesReadAsTheirUsersWroteThemWhateverTheHubsEncoding) {
    // "127.0.0.1:port" → the listed encoding, or "ADC" for the ADC hubs, which carry UTF-8 whatever the list says
    std::map<std::string, std::string> encodingOfHub;
    std::set<std::string> reached;
    for (std::size_t i = 0; i < m_net.Plan().Hubs().size(); ++i) {
        const HubPlan& hub = m_net.Plan().Hubs()[i];
        const std::string encoding = hub.adc ? "ADC" : hub.listedEncoding;
        encodingOfHub["127.0.0.1:" + std::to_string(m_net.Network().HubPorts()[i])] = encoding;
        if (NetworkPlan::ForwardsSearches(hub.kind)) reached.insert(encoding);
    }
    ASSERT_TRUE(reached.count("CP1251") && reached.count("UTF-8") && reached.count("ADC"))
        << "the seed lets these hubs pass searches on";
    std::set<std::string> names;  // every folder and file name shared on the network, UTF-8
    for (const CatalogFolder& folder : m_net.Plan().Catalog().Folders()) names.insert(folder.name);
    for (const CatalogFile& file : m_net.Plan().Catalog().Files()) names.insert(file.name);
    ASSERT_NO_FATAL_FAILURE(RefreshHublist());

    const struct {
        const char* name;
        QString phrase;
        std::string tail;
        std::set<std::string> answeringEncodings;
        bool latin;
    } runs[] = {
        {"Cyrillic", QStringLiteral("Песня"), "F?F?0?1?Песня", {"CP1251", "UTF-8", "ADC"}, false},
        {"Latin", QStringLiteral("mp3"), "F?F?0?1?mp3", reached, true},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.name);
        const auto expected = static_cast<int>(CountKept(m_net.Plan(), run.tail, -1));
        ASSERT_NO_FATAL_FAILURE(StartSearch(run.phrase));
        ASSERT_TRUE(WaitForRunEnd());
        EXPECT_TRUE(QTest::qWaitFor([&] { return Rows().rowCount() >= expected; }, kWaitMs));
        EXPECT_EQ(Rows().rowCount(), expected);
        std::set<std::string> answering;
        bool cyrillic = false;
        bool accented = false;
        for (int row = 0; row < Rows().rowCount(); ++row) {
            const ResultRow result = Rows().Row(row);
            answering.insert(encodingOfHub[std::string(result.HubAddress)]);
            for (const std::string& part : PathParts(result)) {
                EXPECT_TRUE(names.count(part)) << "not a shared name: " << part;
                cyrillic = cyrillic || part.find('\xD0') != std::string::npos;
                accented = accented || part.find('\xC3') != std::string::npos;
            }
        }
        EXPECT_EQ(answering, run.answeringEncodings);
        EXPECT_TRUE(cyrillic);
        EXPECT_EQ(accented, run.latin);
    }
}

// A file a simulated user shares, found by a search, handed to a DC client as a magnet link from the keyboard.
TEST_F(TestnetEndToEndTest, CopiesAMagnetLinkOfAFoundFile) {
    ASSERT_NO_FATAL_FAILURE(RefreshHublist());
    ASSERT_NO_FATAL_FAILURE(StartSearch(QStringLiteral("mp3")));
    ASSERT_TRUE(WaitForRunEnd());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Rows().rowCount() > 0; }, kWaitMs));
    int row = 0;
    const auto isAsciiFileWithTth = [this](int candidate) {
        const ResultRow r = Rows().Row(candidate);
        return !r.Tth.empty() && std::all_of(r.FileName.begin(), r.FileName.end(),
                                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    while (row < Rows().rowCount() && !isAsciiFileWithTth(row)) ++row;
    ASSERT_LT(row, Rows().rowCount()) << "hashing clients answered";
    const std::string tth(Rows().Row(row).Tth);
    const auto& files = m_net.Plan().Catalog().Files();
    const auto file = std::find_if(files.begin(), files.end(), [&tth](const CatalogFile& f) { return f.tth == tth; });
    ASSERT_NE(file, files.end());

    ResultListView* list = m_window->m_resultList;
    list->setFocus();
    list->setCurrentIndex(list->Model()->index(row, kFileNameColumn));
    QTest::keySequence(list, QKeySequence(Qt::CTRL | Qt::Key_M));
    const QString link = QGuiApplication::clipboard()->text();
    const QString prefix =
        QString::fromStdString("magnet:?xt=urn:tree:tiger:" + file->tth + "&xl=" + std::to_string(file->size) + "&dn=");
    ASSERT_TRUE(link.startsWith(prefix)) << link.toStdString();
    EXPECT_EQ(QUrl::fromPercentEncoding(link.mid(prefix.size()).toUtf8()), QString::fromStdString(file->name));
}

// Passive: the hubs relay the active users' answers while the window stays on each hub; the passive users cannot
// answer, and nothing comes by datagram. Automatic goes passive too when the machine has no public address and no
// router answers.
TEST_F(TestnetEndToEndTest, PassiveSearchGetsExactlyTheActiveUsersResults) {
    ASSERT_NO_FATAL_FAILURE(RefreshHublist());
    HubExchangeTimings timings{300ms, kLinger};
    timings.PassiveWindow = 2500ms;  // a strict hub's batch, then up to 250 ms until its last user answers
    m_window->SetExchangeTimings(timings);
    PortMapperConfig noRouter;
    noRouter.UseUpnp = noRouter.UseNatPmp = false;
    m_window->Session().UseRouter(std::make_unique<PortMapper>(noRouter));
    const auto expected = static_cast<int>(CountKept(m_net.Plan(), "F?F?0?1?mp3", -1, true));
    ASSERT_GT(expected, 0);
    EXPECT_LT(expected, static_cast<int>(CountKept(m_net.Plan(), "F?F?0?1?mp3", -1)));
    const struct {
        ConnectionMode mode;
        const char* ip;
        const char* status;
    } cases[] = {
        {ConnectionMode::Passive, "127.0.0.1", "Passive: results through the hubs"},
        {ConnectionMode::Automatic, "", "No router mapping: passive"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        m_settings.Connection = c.mode;
        m_settings.IP = c.ip;
        ASSERT_NO_FATAL_FAILURE(StartSearch(QStringLiteral("mp3")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->StatusText().toStdString() == c.status; }, kWaitMs));
        ASSERT_TRUE(WaitForRunEnd());
        ExpectEveryHubCounted();
        EXPECT_EQ(m_window->ResultCount(), expected);
    }
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(TestnetEndToEndTest, StopEndsTheRunAndTheNextRunSearchesAgain) {
    ASSERT_NO_FATAL_FAILURE(RefreshHublist());
    const auto expected = static_cast<int>(m_net.Plan().CountResults(Request("F?F?0?1?mp3")));
    ASSERT_NO_FATAL_FAILURE(StartSearch(QStringLiteral("mp3")));
    const auto started = std::chrono::steady_clock::now();
    // Hubs that pass searches on at once have answered while every worker still lingers.
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->ResultCount() > 0; }, kWaitMs));
    QTest::mouseClick(m_window->m_searchButton, Qt::LeftButton);
    EXPECT_EQ(m_window->m_searchButton->text(), QStringLiteral("Search"));
    EXPECT_TRUE(m_window->m_refreshButton->isEnabled());
    EXPECT_EQ(GetProgressState(m_window->m_progressBar), ProgressState::Paused);
    const QString searched = m_window->m_searchedLabel->text();
    const QString failed = m_window->m_failedLabel->text();
    const int results = m_window->ResultCount();
    EXPECT_LT(results, expected);
    // Left alone, the run would have counted every hub by now; after Stop nothing may change.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        started + std::chrono::milliseconds(kRunEndsMs) - std::chrono::steady_clock::now());
    const bool changed = QTest::qWaitFor(
        [&] {
            return m_window->m_searchedLabel->text() != searched || m_window->m_failedLabel->text() != failed ||
                   m_window->ResultCount() != results;
        },
        std::max(0, static_cast<int>(left.count())));
    EXPECT_FALSE(changed) << m_window->m_searchedLabel->text().toStdString() << " "
                          << m_window->m_failedLabel->text().toStdString();

    ASSERT_NO_FATAL_FAILURE(StartSearch(QStringLiteral("mp3")));
    ASSERT_TRUE(WaitForRunEnd());
    ExpectEveryHubCounted();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_window->ResultCount() >= expected; }, kWaitMs));
    EXPECT_EQ(m_window->ResultCount(), expected);
    EXPECT_TRUE(m_messages.empty());
}

}  // namespace

#include "engine/hublist/hublist_refresh_thread.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>

#include "engine/hublist/hublist_loader.h"
#include "engine/search/hub_queue.h"
#include "support/bzip2_compress.h"
#include "support/closed_port.h"
#include "support/fake_gui_thread.h"
#include "support/http_responder.h"
#include "support/log_recorder.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kDeadline = 30s;
const std::string kStoredList = "<Hublist><Hub Address=\"stored:1\"/></Hublist>";

std::string NewList(int hubs) {
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Hublist><Hubs>\n";
    for (int i = 0; i < hubs; ++i)
        text += "<Hub Name=\"Hub " + std::to_string(i) + "\" Address=\"dchub://hub" + std::to_string(i) +
                ".example.org:411\" Description=\"A hub\" Users=\"10\" Shared=\"1000\"/>\n";
    return text + "</Hubs></Hublist>\n";
}

// What the GUI side saw, in order: "begins N", "progresses N", "ends", "completed ok|cancelled|failed: reason".
class Recorder {
public:
    HublistRefreshSteps Steps() {
        return {[this](int64_t max) { Add("begins " + std::to_string(max)); },
                [this](int64_t count) { Add("progresses " + std::to_string(count)); }, [this] { Add("ends"); },
                [this](const HublistRefreshResult& result) { Add(Completion(result)); }};
    }
    // Waits until an event starting with prefix has been seen; false at the deadline.
    bool WaitFor(const std::string& prefix) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, kDeadline, [&] {
            for (const auto& event : m_events)
                if (event.rfind(prefix, 0) == 0) return true;
            return false;
        });
    }
    std::vector<std::string> Events() {
        std::lock_guard lock(m_mutex);
        return m_events;
    }

private:
    static std::string Completion(const HublistRefreshResult& result) {
        switch (result.outcome) {
            case HublistRefreshResult::Outcome::Replaced:
                return "completed ok";
            case HublistRefreshResult::Outcome::Cancelled:
                return "completed cancelled";
            case HublistRefreshResult::Outcome::Failed:
                return "completed failed: " + result.reason;
        }
        return "?";
    }
    void Add(std::string event) {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_events;
};

struct Outcome {
    bool completed = false;
    bool failed = false;
    std::string reason;
    std::vector<std::string> events;
    std::string stored;
    mode_t storedMode = 0;
    std::vector<std::string> files;
};

Outcome Refresh(const std::string& url, const HttpLimits& limits = {},
                std::int64_t maxListSize = HublistRefreshThread::kMaxListSize) {
    TempDir dir;
    WriteFile(HubListPath(dir.Path()), kStoredList);
    chmod(HubListPath(dir.Path()).c_str(), 0604);
    FakeGuiThread gui;
    Recorder recorder;
    Outcome out;
    {
        HublistRefreshThread refresh(gui, url, dir.Path(), recorder.Steps(), limits, maxListSize);
        out.completed = recorder.WaitFor("completed");
        refresh.Wait();
        EXPECT_EQ(refresh.Finished(), out.completed);
    }
    out.events = recorder.Events();
    const std::string failedPrefix = "completed failed: ";
    out.failed = !out.events.empty() && out.events.back().starts_with(failedPrefix);
    if (out.failed) out.reason = out.events.back().substr(failedPrefix.size());
    out.stored = ReadFile(HubListPath(dir.Path()));
    struct stat info {};
    if (stat(HubListPath(dir.Path()).c_str(), &info) == 0) out.storedMode = info.st_mode & 07777;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        out.files.push_back(entry.path().filename().string());
    return out;
}

TEST(HublistRefresh, ReplacesTheStoredListWithTheDownloadedOne) {
    const std::string list = NewList(3000);
    const std::string body = Bzip2Compress(list);
    HttpResponder server({200, "OK", {{"Content-Type", "application/x-bzip2"}}, body});
    LogRecorder log;
    const Outcome outcome = Refresh(server.Url());
    ASSERT_TRUE(outcome.completed);
    EXPECT_EQ(log.Matching({"info: hub list refresh from " + server.Url() + ": replaced the stored list after ",
                            ", " + std::to_string(body.size()) + " bytes downloaded"})
                  .size(),
              1u);
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.stored, list);
    EXPECT_EQ(outcome.storedMode, 0604u) << "the new list keeps the old one's permissions";
    EXPECT_EQ(outcome.files, std::vector<std::string>{"hublist.xml"});
    HubQueue queue;
    EXPECT_FALSE(LoadHubListText(outcome.stored, queue).failed);
    EXPECT_EQ(queue.Count(), 3000);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_NE(server.Requests()[0].find("\r\nUser-Agent: Hubsift/1.2\r\n"), std::string::npos);
    EXPECT_EQ(server.Requests()[0].rfind("GET /hublist.xml.bz2 HTTP/1.1\r\n", 0), 0u);
}

TEST(HublistRefresh, TransferStepsComeInOrderBeforeCompletion) {
    const std::string body = Bzip2Compress(NewList(20000));
    HttpResponder server({200, "OK", {}, body});
    const Outcome outcome = Refresh(server.Url());
    ASSERT_GE(outcome.events.size(), 4u);
    EXPECT_EQ(outcome.events.front(), "begins " + std::to_string(body.size()));
    EXPECT_EQ(outcome.events[outcome.events.size() - 3], "progresses " + std::to_string(body.size()));
    EXPECT_EQ(outcome.events[outcome.events.size() - 2], "ends");
    EXPECT_EQ(outcome.events.back(), "completed ok");
    long long last = 0;
    for (std::size_t i = 1; i + 2 < outcome.events.size(); ++i) {
        ASSERT_EQ(outcome.events[i].rfind("progresses ", 0), 0u) << outcome.events[i];
        const long long count = std::stoll(outcome.events[i].substr(11));
        EXPECT_GT(count, last);
        last = count;
    }
}

TEST(HublistRefresh, EmptyBodyStoresAnEmptyList) {
    HttpResponder server({200, "OK", {}, ""});
    const Outcome outcome = Refresh(server.Url());
    EXPECT_EQ(outcome.events, (std::vector<std::string>{"begins 0", "ends", "completed ok"}));
    EXPECT_EQ(outcome.stored, "");
}

TEST(HublistRefresh, FailuresKeepTheStoredListAndSayWhy) {
    const std::string whole = Bzip2Compress(NewList(2000));
    std::string corrupted = whole;
    corrupted[corrupted.size() / 2] ^= 0x20;
    // A server slower than 512 bytes a second over one second is given up; one that keeps just above a lower
    // limit meets the overall deadline.
    const HttpLimits slow{512, 1s, std::chrono::hours(1)};
    const HttpLimits deadline{10, 1s, 400ms};
    HttpReply trickling{200, "OK", {}, whole};
    trickling.trickleInterval = 20ms;
    HttpReply continuing{200, "OK", {}, whole};
    continuing.trickleInterval = 20ms;
    continuing.endlessContinue = true;
    struct Case {
        const char* name;
        HttpReply reply;
        std::string reason;  // a part of the reason given
        HttpLimits limits = {};
    };
    const Case cases[] = {
        {"404", {404, "Not Found", {}, Bzip2Compress(NewList(1))}, "HTTP status 404"},
        {"500", {500, "Internal Server Error", {}, ""}, "HTTP status 500"},
        {"redirect", {302, "Found", {{"Location", "/elsewhere.xml.bz2"}}, ""}, "HTTP status 302"},
        {"plain XML", {200, "OK", {}, NewList(5)}, "not bzip2 data"},
        {"HTML page", {200, "OK", {}, "<html><body>Not here</body></html>"}, "not bzip2 data"},
        {"corrupted", {200, "OK", {}, corrupted}, "damaged bzip2 data"},
        {"two streams", {200, "OK", {}, whole + Bzip2Compress(NewList(1))}, "data after the end of the bzip2 stream"},
        {"trailing garbage", {200, "OK", {}, whole + "\r\n"}, "data after the end of the bzip2 stream"},
        {"truncated", {200, "OK", {}, whole.substr(0, whole.size() - 10)}, "cut off before its end"},
        {"closed early",
         {200, "OK", {{"Content-Length", std::to_string(whole.size())}}, whole.substr(0, 100)},
         "transfer closed"},
        {"no reply", {200, "OK", {}, whole, SIZE_MAX, true}, "Empty reply from server"},
        {"stalled", {200, "OK", {}, whole, 10}, "too slow", slow},
        {"trickling", trickling, "too slow", slow},
        {"endless 100 Continue", continuing, "too slow", slow},
        {"overall deadline", trickling, "timed out after", deadline},
    };
    for (const Case& c : cases) {
        LogRecorder log;
        HttpResponder server(c.reply);
        const Outcome outcome = Refresh(server.Url(), c.limits);
        EXPECT_TRUE(outcome.completed) << c.name;
        EXPECT_TRUE(outcome.failed) << c.name;
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << c.name << ": " << outcome.reason;
        EXPECT_EQ(log.Matching({"warning: hub list refresh from " + server.Url() + ": failed", c.reason}).size(), 1u)
            << c.name;
        EXPECT_EQ(outcome.stored, kStoredList) << c.name;
        EXPECT_EQ(outcome.files, std::vector<std::string>{"hublist.xml"}) << c.name;
        EXPECT_LE(server.Requests().size(), 1u) << c.name;
    }
}

TEST(HublistRefresh, BodyAnnouncedAbove64MiBIsRefusedBeforeTransfer) {
    // The server then sends nothing: only the refusal can end this before the read time-out.
    HttpResponder server({200, "OK", {{"Content-Length", std::to_string((64 << 20) + 1)}}, "x", 0});
    const Outcome outcome = Refresh(server.Url());
    EXPECT_EQ(outcome.events, std::vector<std::string>{"completed failed: response body too large"});
    EXPECT_EQ(outcome.stored, kStoredList);
}

TEST(HublistRefresh, BodyWithoutALengthIsCutOffAt64MiB) {
    // Only the count of bytes received keeps a server that announces no size from filling the memory.
    HttpReply reply{200, "OK", {}, std::string(HttpClient::kMaxBodySize + 1, 'x')};
    reply.announcesLength = false;
    HttpResponder server(std::move(reply));
    const Outcome outcome = Refresh(server.Url());
    EXPECT_TRUE(outcome.failed);
    ASSERT_GE(outcome.events.size(), 3u);
    EXPECT_EQ(outcome.events.front(), "begins 0");
    const std::string& lastProgress = outcome.events[outcome.events.size() - 3];
    ASSERT_EQ(lastProgress.rfind("progresses ", 0), 0u) << lastProgress;
    EXPECT_LE(std::stoull(lastProgress.substr(11)), HttpClient::kMaxBodySize);
    EXPECT_EQ(outcome.stored, kStoredList);
}

TEST(HublistRefresh, ListThatDecompressesBeyondTheLimitIsNotStored) {
    // The limit (512 MiB in the program) keeps a bzip2 bomb from filling the disk; a small one stands in for it.
    const std::string list = NewList(200);
    HttpResponder server({200, "OK", {}, Bzip2Compress(list)});
    const auto size = static_cast<std::int64_t>(list.size());
    const Outcome over = Refresh(server.Url(), {}, size - 1);
    EXPECT_TRUE(over.failed);
    EXPECT_EQ(over.reason, "the hub list is larger than " + std::to_string(size - 1) + " bytes");
    EXPECT_EQ(over.stored, kStoredList);
    EXPECT_EQ(over.files, std::vector<std::string>{"hublist.xml"}) << "no temporary file is left";
    const Outcome at = Refresh(server.Url(), {}, size);
    EXPECT_FALSE(at.failed);
    EXPECT_EQ(at.stored, list);
}

TEST(HublistRefresh, UnreachableOrUnusableUrlsFail) {
    const std::string urls[] = {
        "http://127.0.0.1:" + std::to_string(ClosedLoopbackPort()) + "/hublist.xml.bz2",
        "",
        "not a url",
        "file:///etc/hostname",
    };
    for (const std::string& url : urls) {
        const Outcome outcome = Refresh(url);
        EXPECT_TRUE(outcome.failed) << url;
        EXPECT_EQ(outcome.stored, kStoredList) << url;
    }
}

TEST(HublistRefresh, MissingDataFolderFails) {
    HttpResponder server({200, "OK", {}, Bzip2Compress(NewList(1))});
    FakeGuiThread gui;
    Recorder recorder;
    HublistRefreshThread refresh(gui, server.Url(), "/nonexistent-hubsift-folder", recorder.Steps());
    ASSERT_TRUE(recorder.WaitFor("completed"));
    EXPECT_EQ(recorder.Events().back(),
              "completed failed: Cannot create file \"/nonexistent-hubsift-folder/hublist.xml\". No such file or "
              "directory");
}

TEST(HublistRefresh, CancelEndsAStalledDownloadPromptly) {
    const std::string whole = Bzip2Compress(NewList(2000));
    HttpResponder server({200, "OK", {}, whole, 10});
    TempDir dir;
    WriteFile(HubListPath(dir.Path()), kStoredList);
    FakeGuiThread gui;
    Recorder recorder;
    // Limits of an hour: only the cancel can end the transfer.
    const HttpLimits patient{512, std::chrono::hours(1), std::chrono::hours(1)};
    HublistRefreshThread refresh(gui, server.Url(), dir.Path(), recorder.Steps(), patient);
    ASSERT_TRUE(recorder.WaitFor("progresses 10"));
    gui.RunAndWait([&] { refresh.Cancel(); });
    ASSERT_TRUE(recorder.WaitFor("completed"));
    EXPECT_EQ(recorder.Events().back(), "completed cancelled");
    EXPECT_EQ(ReadFile(HubListPath(dir.Path())), kStoredList);
}

TEST(HublistRefresh, EndsWithoutCompletingOnceTheGuiSideIsClosed) {
    HttpResponder server({200, "OK", {}, Bzip2Compress(NewList(2000)), 10});
    TempDir dir;
    FakeGuiThread gui;
    Recorder recorder;
    auto refresh = std::make_unique<HublistRefreshThread>(gui, server.Url(), dir.Path(), recorder.Steps());
    ASSERT_TRUE(recorder.WaitFor("progresses 10"));
    gui.Close();
    refresh.reset();
    for (const auto& event : recorder.Events()) EXPECT_EQ(event.rfind("completed", 0), std::string::npos);
}

TEST(HublistRefresh, StartUpRemovesOnlyTheTemporaryFilesOfEarlierRefreshes) {
    TempDir dir;
    const auto startedAt = std::filesystem::file_time_type::clock::now();
    const struct {
        const char* name;
        bool older;
        bool removed;
    } files[] = {
        {"hublist.xml.AbC123", true, true},  {"hublist.xml.0zZ9aa", true, true},   {"hublist.xml.Now123", false, false},
        {"hublist.xml", true, false},        {"hublist.xml.bak", true, false},     {"hublist.xml.ab-123", true, false},
        {"Hubsift.ini.AbC123", true, false}, {"hublist.xml.AbC1234", true, false},
    };
    for (const auto& file : files) {
        WriteFile(dir.File(file.name), "x");
        std::filesystem::last_write_time(dir.File(file.name), startedAt + (file.older ? -1h : 1h));
    }
    std::filesystem::create_directory(dir.File("hublist.xml.Dir123"));
    std::filesystem::last_write_time(dir.File("hublist.xml.Dir123"), startedAt - 1h);
    LogRecorder log;

    EXPECT_EQ(HublistRefreshThread::RemoveStaleTemporaryFiles(dir.Path(), startedAt), 2);
    for (const auto& file : files) EXPECT_EQ(std::filesystem::exists(dir.File(file.name)), !file.removed) << file.name;
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("hublist.xml.Dir123")));
    EXPECT_EQ(log.Matching({"info: removed " + dir.File("hublist.xml.AbC123")}).size(), 1u);
    EXPECT_EQ(HublistRefreshThread::RemoveStaleTemporaryFiles(dir.File("missing"), startedAt), 0);
}

}  // namespace

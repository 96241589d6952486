// The download worker against the stand-in service named in VELMARIN_DEVSERVICE,
// and against a scripted loopback server for lengths the stand-in never announces.
#include "../core/http_test_server.h"
#include "dialog_template.h"
#include "framework/dialog.h"
#include "protocol/http_client.h"
#include "pump_until.h"
#include "release/download_file_wnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// Above anything the stand-in's advertisement grows to in these tests.
constexpr DWORD kCap = 8 << 20;

// What the handlers saw; kept outside the window so that it outlives it.
struct CSeen {
    Calls calls; // a run of progress calls counts once
    std::vector<std::pair<DWORD, DWORD>> progress;
    std::wstring time;
    std::vector<BYTE> data; // with the 8 bytes behind

    void Call(const char* name) {
        if (calls.empty() || calls.back() != name) {
            calls.push_back(name);
        }
    }
    bool Ended() const { return !calls.empty() && (calls.back() == "finished" || calls.back() == "error"); }
};

class CRecordingWnd : public FCDownloadFileWndBase<CDialog> {
public:
    CRecordingWnd(CSeen& seen, int checkAnswer = 1)
        : FCDownloadFileWndBase<CDialog>(Template()), m_seen(seen), m_checkAnswer(checkAnswer) {
        Create();
    }

protected:
    int OnCheckTime(const std::wstring&, const std::wstring& time) override {
        m_seen.Call("check");
        m_seen.time = time;
        return m_checkAnswer;
    }
    void OnDownFinished(const std::wstring&, const BYTE* data, DWORD size) override {
        m_seen.Call("finished");
        m_seen.data.assign(data, data + size + 8);
    }
    void OnProxyValidate(const std::wstring&, std::wstring& user, std::wstring& password) override {
        m_seen.Call("proxy");
        user = L"user";
        password = L"secret";
    }
    void OnDownError(const std::wstring&) override { m_seen.Call("error"); }
    void OnStartDownload(const std::wstring&) override { m_seen.Call("start"); }
    void OnDownProgress(const std::wstring&, DWORD done, DWORD total) override {
        m_seen.Call("progress");
        m_seen.progress.emplace_back(done, total);
    }

private:
    static const DLGTEMPLATE* Template() {
        static const CDialogTemplate dialog(WS_POPUP, L"download test");
        return dialog.get();
    }

    CSeen& m_seen;
    int m_checkAnswer;
};

int TempFileCount() {
    wchar_t folder[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, folder);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((std::wstring(folder) + L"foo*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int count = 1;
    while (FindNextFileW(search, &found)) {
        ++count;
    }
    FindClose(search);
    return count;
}

class DownloadService : public ::testing::Test {
protected:
    void SetUp() override {
        const char* address = std::getenv("VELMARIN_DEVSERVICE");
        if (!address || !*address) {
            GTEST_SKIP() << "VELMARIN_DEVSERVICE is not set";
        }
        m_base = L"http://" + std::wstring(address, address + std::strlen(address));
    }

    // Resets the stand-in, sets its advertisement up and returns the size of its body.
    long long Serve(const std::string& json) {
        CHttpRequest request;
        request.method = L"POST";
        request.contentType = L"application/json";
        request.body = "{}";
        EXPECT_TRUE(m_control.Exchange(m_base + L"/control/reset", request));
        request.body = json;
        EXPECT_TRUE(m_control.Exchange(m_base + L"/control/ad", request) && m_control.Status() == 200)
            << json;
        const size_t at = m_control.Body().find("\"size\": ");
        return at == std::string::npos ? -1 : std::atoll(m_control.Body().c_str() + at + 8);
    }

    // The served advertisements as logged, once the stand-in has finished with each.
    std::vector<std::string> Ads() {
        std::vector<std::string> ads;
        PumpUntil([&] {
            EXPECT_TRUE(m_control.Exchange(m_base + L"/control/log", CHttpRequest()));
            const std::string& body = m_control.Body();
            ads.clear();
            for (size_t at = body.find("{\"time\": ", body.find("\"ads\": ")), next; at != std::string::npos;
                 at = next) {
                ads.push_back(body.substr(at, (next = body.find("{\"time\": ", at + 1)) - at));
            }
            return body.find("\"ended\": null") == std::string::npos;
        });
        return ads;
    }
    static bool Complete(const std::string& ad) { return ad.find("\"complete\": true") != std::string::npos; }

    std::wstring Url() const { return m_base + L"/ad/loginad.gif"; }

    std::wstring m_base;
    CAtlHttpClientT m_control;
    CSeen m_seen;
};

TEST_F(DownloadService, DeliversTheWholeFileWithOrWithoutLength) {
    for (const bool withLength : {true, false}) {
        SCOPED_TRACE(withLength ? "Content-Length" : "read to close");
        m_seen = {};
        const int tempFiles = TempFileCount();
        // Bigger than one read, so that the progress comes in steps.
        const long long size = Serve(std::string(R"({"padding": 20000, "content_length": )") +
                                     (withLength ? "true}" : "false}"));
        CRecordingWnd window(m_seen);
        window.StartDownload(Url(), kCap);
        ASSERT_TRUE(PumpUntil([&] { return m_seen.Ended(); }));

        ASSERT_EQ(m_seen.calls, (Calls{"check", "start", "progress", "finished"}));
        ASSERT_EQ(static_cast<long long>(m_seen.data.size()), size + 8);
        EXPECT_EQ(std::string(m_seen.data.begin(), m_seen.data.begin() + 6), "GIF89a");
        EXPECT_EQ(std::vector<BYTE>(m_seen.data.end() - 8, m_seen.data.end()), std::vector<BYTE>(8, 0));
        EXPECT_EQ(m_seen.progress.back().first, size);
        for (size_t i = 0; i < m_seen.progress.size(); ++i) {
            const DWORD step = m_seen.progress[i].first - (i ? m_seen.progress[i - 1].first : 0);
            EXPECT_TRUE(step > 0 && step <= 8192) << step;
            EXPECT_EQ(m_seen.progress[i].second, withLength ? size : 0);
        }
        EXPECT_EQ(TempFileCount(), tempFiles);
    }
}

TEST_F(DownloadService, RefusedDownloadsEndInErrorWithoutStarting) {
    struct Case {
        const char* ad;
        int checkAnswer;
        Calls calls;
        bool wholeBodySent; // a slow body shows whether the client read on to the end
        std::wstring time;  // the Last-Modified text as sent, no zone conversion
    };
    const Calls refused{"check", "error"};
    const Case cases[] = {
        {R"({"status": 404})", 1, {"error"}, true, L""},
        {R"({"padding": 200000, "piece": 1000, "interval_ms": 20})", 0, refused, false,
         L"2024-01-01 00:00:00"},
        {R"({"modified": 1718900000})", 0, refused, true, L"2024-06-20 16:13:20"},
        {R"({"last_modified": false})", 0, refused, true, L"0000-00-00 00:00:00"},
        {R"({"status": 407})", 1, {"proxy", "error"}, true, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ad);
        m_seen = {};
        Serve(c.ad);
        CRecordingWnd window(m_seen, c.checkAnswer);
        window.StartDownload(Url(), kCap);
        ASSERT_TRUE(PumpUntil([&] { return m_seen.Ended(); }));
        EXPECT_EQ(m_seen.calls, c.calls);
        EXPECT_EQ(m_seen.time, c.time);
        const std::vector<std::string> ads = Ads();
        ASSERT_FALSE(ads.empty());
        EXPECT_EQ(Complete(ads.back()), c.wholeBodySent) << ads.back();
        // The platform may answer a proxy challenge again itself, but with what the window gave.
        if (c.calls.front() == "proxy") {
            EXPECT_NE(ads.back().find(R"(["Proxy-Authorization", "Basic dXNlcjpzZWNyZXQ="])"),
                      std::string::npos);
        } else {
            EXPECT_EQ(ads.size(), 1u);
        }
    }
}

// Over https: the certificate must pass for the host, and a redirect never
// leads the download to plain http.
TEST_F(DownloadService, HttpsChecksTheCertificateAndNeverFallsBackToHttp) {
    const char* tls = std::getenv("VELMARIN_DEVSERVICE_TLS");
    if (!tls || !*tls) {
        GTEST_SKIP() << "VELMARIN_DEVSERVICE_TLS is not set";
    }
    const std::wstring secure = L"https://" + std::wstring(tls, tls + std::strlen(tls)) + L"/ad/loginad.gif";
    const std::string tlsOnly = "\"tls\": \"TLS";
    struct Case {
        std::string ad, certificate;
        Calls calls;
        size_t requests; // that reached the stand-in, all of them over TLS
    };
    const std::wstring plain = Url();
    const std::string toPlain =
        R"({"status": 302, "location": ")" + std::string(plain.begin(), plain.end()) + "\"}";
    const Case cases[] = {
        {"{}", "server", {"check", "start", "progress", "finished"}, 1},
        {"{}", "wrong-name", {"error"}, 0},
        {"{}", "expired", {"error"}, 0},
        {"{}", "untrusted", {"error"}, 0},
        {"{}", "self-signed", {"error"}, 0},
        {toPlain, "server", {"error"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ad + " " + c.certificate);
        m_seen = {};
        Serve(c.ad);
        CHttpRequest choose;
        choose.method = L"POST";
        choose.body = "{\"certificate\": \"" + c.certificate + "\"}";
        ASSERT_TRUE(m_control.Exchange(m_base + L"/control/tls", choose) && m_control.Status() == 200);
        CRecordingWnd window(m_seen);
        window.StartDownload(secure, kCap);
        ASSERT_TRUE(PumpUntil([&] { return m_seen.Ended(); }, 15000));
        EXPECT_EQ(m_seen.calls, c.calls);
        const std::vector<std::string> ads = Ads();
        EXPECT_EQ(ads.size(), c.requests);
        for (const std::string& ad : ads) {
            EXPECT_NE(ad.find(tlsOnly), std::string::npos) << ad;
        }
    }
}

TEST_F(DownloadService, RunsOneDownloadPerUrlAtATime) {
    Serve(R"({"padding": 4000, "piece": 1000, "interval_ms": 50})");
    CRecordingWnd window(m_seen);
    window.StartDownload(Url(), kCap);
    window.StartDownload(Url(), kCap);
    ASSERT_TRUE(PumpUntil([&] { return m_seen.Ended(); }));
    EXPECT_EQ(Ads().size(), 1u);

    // Once the worker has ended, the same URL starts again.
    m_seen = {};
    ASSERT_TRUE(PumpUntil([&] {
        window.StartDownload(Url(), kCap);
        return m_seen.Ended();
    }));
    EXPECT_EQ(m_seen.calls.back(), "finished");
    EXPECT_EQ(Ads().size(), 2u);
}

TEST_F(DownloadService, DestroyingTheWindowStopsTheTransferPromptly) {
    struct Case {
        const char* name;
        const char* ad;
        bool transferring; // else the worker waits for the answer to CHECKTIME
        bool reading;      // blocked reading, else blocked sending to the window being destroyed
    };
    const char* slow = R"({"padding": 2000000, "piece": 4096, "interval_ms": 20})";
    const Case cases[] = {
        {"checking", slow, false, false},
        {"answering", slow, true, false},
        {"trickling", R"({"padding": 2000000, "piece": 100, "interval_ms": 300})", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_seen = {};
        Serve(c.ad);
        auto window = std::make_unique<CRecordingWnd>(m_seen);
        window->StartDownload(Url(), kCap);
        if (c.transferring) {
            ASSERT_TRUE(PumpUntil([&] { return !m_seen.progress.empty(); }));
        }
        // Not answering leaves the worker blocked in SendMessage.
        c.reading ? (void)PumpFor(300) : Sleep(300);

        // Nothing reaches the handlers from the start of the destruction on.
        const CSeen before = m_seen;
        const ULONGLONG start = GetTickCount64();
        window.reset();
        EXPECT_LT(GetTickCount64() - start, 3000u);
        PumpFor(200);
        EXPECT_EQ(m_seen.calls, before.calls);
        EXPECT_EQ(m_seen.progress.size(), before.progress.size());
        // A slow server notices the closed connection only at its next piece.
        if (!c.reading) {
            EXPECT_NE(Ads().at(0).find("client gone"), std::string::npos);
        }
    }
}

TEST(DownloadLimits, NothingBeyondTheCapIsKept) {
    struct Case {
        const char* name;
        std::string length; // empty: none, the body runs to the close
        size_t body;
        DWORD cap;
        Calls calls;
    };
    const Calls before{"check", "error"};
    const Calls during{"check", "start", "progress", "error"};
    const Calls whole{"check", "start", "progress", "finished"};
    const Case cases[] = {
        {"announced above the cap", "20001", 20001, 20000, before},
        {"announced at the cap", "20000", 20000, 20000, whole},
        {"beyond 4 GB", "4294967296", 16, MAXDWORD, before},
        {"length and tail beyond 32 bits", "4294967290", 16, MAXDWORD, before},
        {"beyond 64 bits", "99999999999999999999999", 16, MAXDWORD, before},
        {"unannounced, above the cap", "", 20001, 20000, during},
        {"unannounced, at the cap", "", 20000, 20000, whole},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reply = "HTTP/1.1 200 OK\r\n";
        if (!c.length.empty()) {
            reply += "Content-Length: " + c.length + "\r\n";
        }
        reply += "Connection: close\r\n\r\nGIF89a" + std::string(c.body - 6, 'x');
        testserver::CLoopbackServer server([&](testserver::CConnection& connection) {
            if (!connection.ReadRequest().empty()) {
                connection.Send(reply);
            }
        });
        const int tempFiles = TempFileCount();
        CSeen seen;
        CRecordingWnd window(seen);
        window.StartDownload(server.Url(L"/ad/loginad.gif"), c.cap);
        ASSERT_TRUE(PumpUntil([&] { return seen.Ended(); }));
        EXPECT_EQ(seen.calls, c.calls);
        if (!seen.progress.empty()) {
            EXPECT_LE(seen.progress.back().first, c.cap);
        }
        EXPECT_EQ(TempFileCount(), tempFiles);
    }
}

// Another thread (as another program would) sends the registered messages with
// the very value of a record the worker is sending, or with records of its own:
// none reaches a handler a second time, or at all.
class CReplayingWnd : public CRecordingWnd {
public:
    explicit CReplayingWnd(CSeen& seen) : CRecordingWnd(seen), m_seen(seen) {}
    std::atomic<int> forgedAnswers{0};
    bool replayed = false;
    size_t progressBeforeReplay = 0;
    size_t progressAfterReplay = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        const LRESULT result = CRecordingWnd::WindowProc(message, wParam, lParam);
        const CDownloadMessages& ids = DownloadMessages();
        if (message == ids.progress && !replayed) {
            replayed = true;
            // The worker waits in SendMessage meanwhile: the record is alive.
            progressBeforeReplay = m_seen.progress.size();
            std::atomic<bool> done{false};
            std::thread forger([&, wParam] {
                static const std::wstring url = L"forged";
                static const BYTE bytes[16] = {'F', 'O', 'R', 'G', 'E', 'D'};
                CDownloadProgress progress{&url, 777777, 888888};
                CDownloadFinished finished{&url, bytes, 6};
                const HWND window = GetSafeHwnd();
                int answers = static_cast<int>(SendMessageW(window, ids.progress, wParam, 0));
                answers += static_cast<int>(
                    SendMessageW(window, ids.progress, reinterpret_cast<WPARAM>(&progress), 0));
                answers += static_cast<int>(
                    SendMessageW(window, ids.downFinished, reinterpret_cast<WPARAM>(&finished), 0));
                answers +=
                    static_cast<int>(SendMessageW(window, ids.error, reinterpret_cast<WPARAM>(&url), 0));
                forgedAnswers = answers;
                done = true;
            });
            PumpUntil([&] { return done.load(); });
            forger.join();
            progressAfterReplay = m_seen.progress.size();
        }
        return result;
    }

private:
    CSeen& m_seen;
};

TEST_F(DownloadService, MessagesFromElsewhereReachNoHandler) {
    Serve(R"({"padding": 20000})");
    CReplayingWnd window(m_seen);
    window.StartDownload(Url(), kCap);
    ASSERT_TRUE(PumpUntil([&] { return m_seen.Ended(); }));
    ASSERT_TRUE(window.replayed);
    EXPECT_EQ(window.progressAfterReplay, window.progressBeforeReplay) << "a replayed record was taken twice";
    EXPECT_EQ(window.forgedAnswers, 0);
    EXPECT_EQ(m_seen.calls, (Calls{"check", "start", "progress", "finished"}));
    for (const auto& step : m_seen.progress) {
        EXPECT_NE(step.second, 888888u);
    }
    EXPECT_EQ(std::string(m_seen.data.begin(), m_seen.data.begin() + 6), "GIF89a");

    // And with no download running, from this thread: nothing either.
    m_seen = {};
    const CDownloadMessages& ids = DownloadMessages();
    for (UINT message :
         {ids.checkTime, ids.downFinished, ids.proxyValidate, ids.error, ids.startDownload, ids.progress}) {
        EXPECT_EQ(SendMessageW(window.GetSafeHwnd(), message, 0x1234, 0), 0);
    }
    EXPECT_TRUE(m_seen.calls.empty());
}

} // namespace

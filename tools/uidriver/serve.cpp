#include "serve.h"

#include <cstdio>
#include <deque>
#include <mutex>

namespace uidriver {
namespace {

std::wstring Wide(const std::string& bytes) {
    int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

// Lines read from standard input by a thread of their own, so that the loop
// can end after a quiet spell whatever kind of handle the input is.
class LineReader {
public:
    LineReader() : m_ready(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~LineReader() { CloseHandle(m_ready); }
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool Start() {
        HANDLE thread = CreateThread(nullptr, 0, &LineReader::Main, this, 0, nullptr);
        if (!thread) {
            return false;
        }
        CloseHandle(thread);
        return true;
    }

    enum class Got { Line, End, Quiet };

    Got Next(DWORD timeoutMs, std::string& line) {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (!m_lines.empty()) {
                    line = std::move(m_lines.front());
                    m_lines.pop_front();
                    return Got::Line;
                }
                if (m_ended) {
                    return Got::End;
                }
            }
            if (WaitForSingleObject(m_ready, timeoutMs) == WAIT_TIMEOUT) {
                return Got::Quiet;
            }
        }
    }

private:
    // A line longer than this is no command; it is dropped up to its end.
    static constexpr size_t kMaxLine = 64 * 1024;

    static DWORD WINAPI Main(void* self) {
        static_cast<LineReader*>(self)->Read();
        return 0;
    }

    void Read() {
        HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        std::string pending;
        bool dropping = false;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            for (DWORD i = 0; i < got; ++i) {
                if (buffer[i] != '\n') {
                    if (pending.size() < kMaxLine) {
                        pending += buffer[i];
                    } else {
                        dropping = true;
                    }
                    continue;
                }
                if (!dropping) {
                    Push(std::move(pending));
                }
                pending.clear();
                dropping = false;
            }
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ended = true;
        SetEvent(m_ready);
    }

    void Push(std::string line) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(std::move(line));
        SetEvent(m_ready);
    }

    HANDLE m_ready;
    std::mutex m_mutex;
    std::deque<std::string> m_lines;
    bool m_ended = false;
};

} // namespace

std::vector<std::wstring> SplitFields(const std::string& line) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        size_t end = line.find(kFieldMark, start);
        fields.push_back(
            Wide(line.substr(start, end == std::string::npos ? std::string::npos : end - start)));
        if (end == std::string::npos) {
            return fields;
        }
        start = end + 1;
    }
}

int Serve(DWORD idleMs, const Command& run) {
    LineReader reader;
    if (!reader.Start()) {
        return 1;
    }
    std::string line;
    while (reader.Next(idleMs, line) == LineReader::Got::Line) {
        std::vector<std::wstring> fields = SplitFields(line);
        // The token comes back unread; the command line without it is what a run would get.
        std::string token = line.substr(0, line.find(kFieldMark));
        fields.erase(fields.begin());
        int code = fields.empty() ? 2 : run(fields);
        std::string end = std::string(1, kEndMark) + token + " " + std::to_string(code) + "\n";
        fwrite(end.data(), 1, end.size(), stdout);
        fflush(stdout);
    }
    return 0;
}

} // namespace uidriver

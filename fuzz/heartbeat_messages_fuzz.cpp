// A heartbeat reply's data field, as the service (or whoever answers in its
// place) sends it: messages split by "|", fields by ";".
#include "session/core/heartbeat_rules.h"
#include "text/ansi_text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = FromAnsi(std::string(reinterpret_cast<const char*>(data), size));
    const std::vector<CHeartbeatMessage> messages = ReadHeartbeatMessages(text);
    // Never more messages than pieces, and each one's kind decides the rest.
    if (messages.size() > static_cast<std::size_t>(std::count(text.begin(), text.end(), L'|')) + 1) {
        std::abort();
    }
    for (const CHeartbeatMessage& message : messages) {
        const std::wstring& kind = message.pageArguments[1];
        if (message.countsAsNew != CountsAsNew(kind) || message.sound != SoundForKind(kind)) {
            std::abort();
        }
        if (message.sound && *message.sound >= 3) {
            std::abort();
        }
    }
    return 0;
}

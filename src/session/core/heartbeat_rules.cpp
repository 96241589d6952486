#include "session/core/heartbeat_rules.h"

#include "text/split.h"

namespace {

constexpr wchar_t kMessageSeparator = L'|';
constexpr wchar_t kFieldSeparator = L';';
constexpr std::size_t kKindField = 4;
constexpr std::size_t kFirstSound = 0;
constexpr std::size_t kThirdSound = 2;

} // namespace

bool CountsAsNew(const std::wstring& kind) {
    return kind != L"3" && kind != L"4";
}

std::optional<std::size_t> SoundForKind(const std::wstring& kind) {
    // Only the value's size matters: anything past 3 plays nothing, so the
    // digits are not read further than that.
    unsigned value = 0;
    for (wchar_t c : kind) {
        if (c < L'0' || c > L'9') {
            break;
        }
        value = value * 10 + static_cast<unsigned>(c - L'0');
        if (value > 3) {
            return std::nullopt;
        }
    }
    if (value == 3) {
        return kThirdSound;
    }
    return kFirstSound;
}

std::vector<CHeartbeatMessage> ReadHeartbeatMessages(const std::wstring& data) {
    std::vector<CHeartbeatMessage> messages;
    for (const std::wstring& piece : SplitKeepingEmpty(data, kMessageSeparator)) {
        const std::vector<std::wstring> fields = SplitKeepingEmpty(piece, kFieldSeparator);
        if (fields.size() < kMessageFields) {
            continue;
        }
        const std::wstring& kind = fields[kKindField];
        messages.push_back(
            {{fields[0], kind, fields[1], fields[2], fields[3]}, CountsAsNew(kind), SoundForKind(kind)});
    }
    return messages;
}

#pragma once
// What the heartbeat makes of a reply's "data" field: messages split by "|",
// fields by ";", each message passed to the page and counted and sounded by
// its kind (field 4).
#include <array>
#include <optional>
#include <string>
#include <vector>

inline constexpr std::size_t kMessageFields = 5;

struct CHeartbeatMessage {
    // The page's putMsg arguments: fields 0, 4, 1, 2, 3.
    std::array<std::wstring, kMessageFields> pageArguments;
    bool countsAsNew = false;
    // Index into the sound list, or none.
    std::optional<std::size_t> sound;
};

// A message counts as new unless its kind is exactly "3" or "4".
bool CountsAsNew(const std::wstring& kind);
// The kind read as a number (its leading digits, none reading 0): 0 to 2 sound
// the first entry, 3 the third, anything else nothing.
std::optional<std::size_t> SoundForKind(const std::wstring& kind);

// The messages of a data field in reply order. A piece with fewer than five
// fields carries no message (an empty data field is no news) and is skipped.
std::vector<CHeartbeatMessage> ReadHeartbeatMessages(const std::wstring& data);

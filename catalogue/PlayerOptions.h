#pragma once
// The player's options, SETUP.DAT in the card's root: a record of 140 bytes whose first 12 bytes
// each hold the index of one setting's chosen value. Byte 7 and bytes 12 to 139 belong to the
// player alone and are written back as they were read.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "messages/MessageTable.h"

namespace sondesk {

inline constexpr std::size_t kPlayerOptionsSize = 140;
inline constexpr std::size_t kDefaultSetupSize = 35;

struct PlayerOptions {
  std::array<std::uint8_t, kPlayerOptionsSize> bytes{};
};

// The SETUP.DAT that a fresh card gets: 00 03 00 01 01 01 01, then 28 zero bytes.
std::vector<std::uint8_t> DefaultSetupFile();

// One setting of the options dialog.
struct PlayerSetting {
  std::size_t byte;                // its byte in the record
  int labelMessage;                // "Pedal Mode" ...
  std::vector<int> valueMessages;  // message numbers of its values in index order; empty for Melody Track
  bool rollingOnly = false;        // Video Mode: the third value only when EnableRoll is set
};

// The eleven settings shown, in the order of their bytes.
const std::vector<PlayerSetting>& PlayerSettings();

// The texts a setting offers ("1" to "16" for the melody channel); Video Mode's "ROLLING" only
// when `enableRoll`.
std::vector<std::string> PlayerSettingValues(const PlayerSetting& setting, const MessageTable& messages,
                                             bool enableRoll);

// The text of a setting's stored value, or "" when the byte lies outside its list (the dialog then
// selects nothing, and writing back keeps the byte as it was).
std::string PlayerOptionText(const PlayerOptions& options, const PlayerSetting& setting,
                             const MessageTable& messages, bool enableRoll);

// Sets the setting whose label is `label` to the value whose text is `value` (both compared
// without regard to case). False with `error` saying why when either is unknown.
bool SetPlayerOption(PlayerOptions& options, const MessageTable& messages, bool enableRoll,
                     const std::string& label, const std::string& value, std::string& error);

}  // namespace sondesk

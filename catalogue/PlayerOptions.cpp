#include "catalogue/PlayerOptions.h"

#include <strings.h>

namespace sondesk {

std::vector<std::uint8_t> DefaultSetupFile() {
  std::vector<std::uint8_t> d(kDefaultSetupSize, 0);
  d[1] = 0x03;
  d[3] = d[4] = d[5] = d[6] = 0x01;
  return d;
}

const std::vector<PlayerSetting>& PlayerSettings() {
  static const std::vector<PlayerSetting> settings = {
      {0, 208, {57, 58, 59, 60, 61}, false},   // Pedal Mode
      {1, 209, {}, false},                     // Melody Track: the MIDI channel 1 to 16
      {2, 210, {62, 63}, false},               // Playlist Mode
      {3, 211, {64, 65, 66}, false},           // Chords Mode
      {4, 212, {72, 73, 74, 75}, false},       // Color Setup
      {5, 213, {67, 68, 69}, true},            // Video Mode
      {6, 214, {70, 71}, false},               // Video Mixer
      {8, 217, {84, 85}, false},               // Fast Run
      {9, 216, {81, 82, 83}, false},           // Echo
      {10, 215, {76, 77, 78, 79, 80}, false},  // Equalization
      {11, 218, {86, 87}, false},              // Text Justification
  };
  return settings;
}

std::vector<std::string> PlayerSettingValues(const PlayerSetting& setting, const MessageTable& messages,
                                             bool enableRoll) {
  std::vector<std::string> values;
  if (setting.valueMessages.empty()) {
    for (int channel = 1; channel <= 16; ++channel) values.push_back(std::to_string(channel));
    return values;
  }
  for (int m : setting.valueMessages) values.push_back(messages[m]);
  if (setting.rollingOnly && !enableRoll) values.pop_back();
  return values;
}

std::string PlayerOptionText(const PlayerOptions& options, const PlayerSetting& setting,
                             const MessageTable& messages, bool enableRoll) {
  const std::vector<std::string> values = PlayerSettingValues(setting, messages, enableRoll);
  const std::size_t index = options.bytes[setting.byte];
  return index < values.size() ? values[index] : std::string();
}

bool SetPlayerOption(PlayerOptions& options, const MessageTable& messages, bool enableRoll,
                     const std::string& label, const std::string& value, std::string& error) {
  for (const PlayerSetting& setting : PlayerSettings()) {
    if (::strcasecmp(messages[setting.labelMessage].c_str(), label.c_str()) != 0) continue;
    const std::vector<std::string> values = PlayerSettingValues(setting, messages, enableRoll);
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (::strcasecmp(values[i].c_str(), value.c_str()) == 0) {
        options.bytes[setting.byte] = static_cast<std::uint8_t>(i);
        return true;
      }
    }
    error = "\"" + value + "\" is not a value of \"" + messages[setting.labelMessage] + "\"; the values are:";
    for (const std::string& v : values) error += " \"" + v + "\"";
    return false;
  }
  error = "no player option is called \"" + label + "\"";
  return false;
}

}  // namespace sondesk

#include "midi/MidiEvent.h"

#include <algorithm>

namespace sondesk {

std::string MidiEvent::Text() const {
  const auto data = Data();
  const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
  return std::string(data.begin(), end);
}

}  // namespace sondesk

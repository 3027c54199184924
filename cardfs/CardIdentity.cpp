#include "cardfs/CardIdentity.h"

#include <algorithm>

#include "app/Endian.h"
#include "emulator/CardImage.h"
#include "emulator/IdentifyBlock.h"

namespace sondesk {

std::uint16_t CardIdentity::Word(int n) const {
  if (n < 0 || n >= static_cast<int>(kSectorSize / 2)) return 0;
  return GetLe16(bytes.data() + 2 * n);
}

void CardIdentity::SetWord(int n, std::uint16_t value) {
  if (n < 0 || n >= static_cast<int>(kSectorSize / 2)) return;
  PutLe16(bytes.data() + 2 * n, value);
}

void CardIdentity::SwapTextFields() {
  auto swap = [this](std::size_t offset, std::size_t length) {
    for (std::size_t i = offset; i + 1 < offset + length; i += 2) std::swap(bytes[i], bytes[i + 1]);
  };
  swap(kSerialOffset, kSerialLength);
  swap(kFirmwareOffset, kFirmwareLength);
  swap(kModelOffset, kModelLength);
}

std::string CardIdentity::Text(std::size_t offset, std::size_t length) const {
  std::string s(reinterpret_cast<const char*>(bytes.data() + offset), length);
  const auto nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  return s;
}

CardIdentity SynthesizeCardIdentity(std::uint64_t totalSectors) {
  const auto sectors = static_cast<std::uint32_t>(std::min<std::uint64_t>(totalSectors, kMaxImageSectors));
  CardIdentity id;
  id.bytes = MakeIdentifyBlock(sectors, {VirtualCardSerial(sectors), "VP 1.0", "SONDESK CARD IMAGE"});
  return id;
}

}  // namespace sondesk

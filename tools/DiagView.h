#pragma once
// diagview: what a card holds, for service and support, from a card image or a card device: the
// identification block, the partition table, the boot sector, a summary of the FAT and the
// player's catalogue, printed as text; and the two HTML reports the manager writes.

#include <cstdio>
#include <string>

namespace sondesk {

struct DiagViewOptions {
  std::string image;      // card image file or raw card device
  std::string reportDir;  // where FormatFresh.html and ExtendedInfo.html go; "" writes none
};

// 0 when the card was read and the reports (if asked for) written; 1 when the image cannot be
// opened or holds no FAT16 file system the player could use; 2 when a report cannot be written.
int RunDiagView(const DiagViewOptions& options, std::FILE* out);

}  // namespace sondesk

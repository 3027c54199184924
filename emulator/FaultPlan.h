#pragma once
// The faults the virtual player can be told to make, so that tests (and users trying the program
// out) see every failure path of the link: a strobe left without Ack, a read sent with a wrong
// checksum, a write refused with NAK, an access answered busy, the cable pulled.
//
// Written as a list for `--port virtual:IMAGE?faults=LIST`, items separated by commas:
//   KIND          every time                      nak
//   KIND@N        the Nth time only (from 1)      badsum@3
//   KIND/N        every Nth time                  nak/100
//   KIND:P%       each time with chance P         badsum:1%   (0 < P <= 100, decimals allowed)
//   seed:N        the seed of the chances (default 1)
// KIND is one of
//   noack    a code the player neither acknowledges nor takes (counted per code)
//   badsum   a sector read answered with a wrong checksum (per sector read)
//   nak      a sector write refused with 0x15 and not written (per sector write)
//   busy     an access or connect request answered 0x17 (per request)
//   unplug   the cable pulled: unplug@N after N codes, unplug from the start
//   shortread  a sector read whose data ends early: Busy rises after the 512 bytes (per sector read)
//   cut      the cable pulled right after the Nth sector write reached the card: cut@N (per write
//            stored), so a test can stop a card operation between any two of its sector writes
//   lnoack   a character the firmware loader takes but never acknowledges: its Ack stays down
//            until the loader is woken again (per loader character)
//   lerror   the loader's error line raised at a record of a download (per record line)
// The query may also carry `stats=FILE` (see statsFile below) and `strict=1`: the player then serves
// sectors only between an access or connect request and the release, as a careful firmware would.

#include <cstdint>
#include <string>

namespace sondesk {

struct FaultRule {
  enum class Mode { Never, Always, Once, Every, Chance };
  Mode mode = Mode::Never;
  std::uint64_t n = 0;           // Once: which event; Every: the period
  std::uint32_t perMillion = 0;  // Chance

  static FaultRule Always() { return {Mode::Always, 0, 0}; }
  static FaultRule Once(std::uint64_t n) { return {Mode::Once, n, 0}; }
  static FaultRule Every(std::uint64_t n) { return {Mode::Every, n, 0}; }
  static FaultRule Chance(double percent) {
    return {Mode::Chance, 0, static_cast<std::uint32_t>(percent * 10000.0 + 0.5)};
  }
};

struct FaultPlan {
  FaultRule noAck;
  FaultRule badChecksum;
  FaultRule nak;
  FaultRule busy;
  FaultRule unplug;  // Once(n): after n codes; Always: from the start
  FaultRule shortRead;
  FaultRule cut;  // Once(n): after the nth stored sector write
  FaultRule loaderNoAck;
  FaultRule loaderError;
  std::uint64_t seed = 1;
  bool strict = false;
  // `stats=FILE`: when the player is closed it writes its counts there ("sectorWrites N" ...), so a
  // test can learn how many sector writes a command makes and cut it between any two of them.
  std::string statsFile;

  bool Any() const;
};

// Parses a fault list as above (the part after "faults="). False with `error` naming the bad item.
bool ParseFaultList(const std::string& text, FaultPlan& plan, std::string& error);

// Parses the query of a virtual port ("faults=...&strict=1"). False with `error`.
bool ParseVirtualPortQuery(const std::string& query, FaultPlan& plan, std::string& error);

}  // namespace sondesk

#pragma once
// Sondesk.INI: every key the program keeps, with its default and its rules.
//
// Values are read into memory at start-up (Load) and each setter writes its key to the file at
// once, as the settings dialog always has: there is no "save settings" step to forget.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>
#include <memory>

#include "app/WriteLock.h"

namespace sondesk {

class ProfileSnapshot;

using ColumnWidths = std::array<std::int32_t, 10>;

// The library list's default set, which also repairs out-of-range widths of both lists.
inline constexpr ColumnWidths kDefaultColumnWidths = {200, 200, 200, 96, 96, 100, 100, 100, 0, 0};
// The card list's starting set when its key cannot be read.
inline constexpr ColumnWidths kCardColumnWidths = {200, 200, 200, 96, 100, 100, 100, 0, 0, 0};

// "Nessuno" names no card drive.
inline constexpr const char* kNoDrive = "Nessuno";

enum class SettingType { Int, String, Struct };

// One key of the file as the program knows it.
struct SettingKey {
  const char* section;
  const char* key;
  SettingType type;
  const char* fallback;  // default as text; "" for strings that default to another key (see DefaultOf)
  const char* meaning;
};

// Every key, the system's own and ours.
const std::vector<SettingKey>& KnownSettingKeys();

class Settings {
 public:
  explicit Settings(std::string iniPath);

  // Reads every key; absent keys take their defaults.
  void Load();

  const std::string& iniPath() const { return iniPath_; }

  // [Version]
  int language = 0;
  // [Settings]
  std::string installPath;
  std::string cwd;   // the library folder
  std::string expd;  // the export folder
  std::string flashDrive = kNoDrive;
  int onlyDriveRemovable = 1;
  int checkInterpret = 1;
  int checkCategory = 1;
  int askInternet = 1;
  int currentLpt = 0;
  int forceDbSettings = 0;
  int left = 0, top = 0, width = 640, height = 480;
  int leftPl = 0, topPl = 0, widthPl = 640, heightPl = 480;
  int enableRoll = 0;
  int webUpdate = 1;
  // [PATH]
  std::string importPath = "A:";
  // [ListSettings]
  ColumnWidths list1Width = kDefaultColumnWidths;
  ColumnWidths list2Width = kCardColumnWidths;

  // Ours, beyond the original's keys (documented in docs/settings.md):
  std::string portBackend = "auto";  // [Settings] PortBackend: auto, ppdev, direct, virtual
  std::string virtualCard;           // [Settings] VirtualCard: card image of the virtual player
  std::string floppyPath;            // [Settings] FloppyPath: folder of the floppy/removable import ("" asks)
  int traceLink = 0;                 // [Settings] TraceLink: 1 writes the link's trace lines to TraceFile
  std::string traceFile;             // [Settings] TraceFile
  std::string companyUrl;            // [Web] CompanyUrl: the maker's site (message 15)
  std::string deviceUrl;             // [Web] DeviceUrl: the player's site (message 16)
  std::string updateUrl;             // [Web] UpdateUrl: base address of the firmware download
  std::string soundFont;             // [Midi] SoundFont: "" finds Debian's General MIDI font
  std::string audioDriver;           // [Midi] AudioDriver: "" lets FluidSynth choose
  int midiGain = 20;                 // [Midi] Gain: FluidSynth's gain in hundredths (20 = 0.2)

  // Writes a key at once and updates that key's value in memory, and no other. False when the file
  // cannot be written (the value still holds in memory for this run).
  bool WriteInt(const std::string& section, const std::string& key, int value);
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteWidths(const std::string& key, const ColumnWidths& widths);

  // Column widths of any list key with the repair rule; `fallback` when the key cannot be read.
  ColumnWidths ReadWidths(const std::string& key, const ColumnWidths& fallback) const;
  // Widths as the list controls report them: a column that reports 0 stores the default set's value.
  static ColumnWidths WidthsForSaving(const ColumnWidths& reported);

  // Generic access by name for the command line: the value as text (struct keys as ten decimal
  // integers), the default when absent. nullopt for a key the program does not know.
  std::optional<std::string> GetText(const std::string& section, const std::string& key) const;
  // Parses and writes; false when the value does not fit the key's type or the file cannot be written.
  bool SetText(const std::string& section, const std::string& key, const std::string& value, std::string& error);

 private:
  // `field` is one entry of the key table in Settings.cpp.
  void LoadField(const ProfileSnapshot& file, const void* field);
  static ColumnWidths ReadWidths(const ProfileSnapshot& file, const std::string& key, const ColumnWidths& fallback);
  template <typename Apply>
  void AfterWrite(bool written, const std::string& section, const std::string& key, Apply apply);
  std::string iniPath_;
  // Why the last write could not take the settings file's lock; empty when it could.
  std::string lockError_;
  std::unique_ptr<WriteLock> LockForWriting();
};

// The repair rule: every width below 4 or above 250 becomes the default set's value at that index.
ColumnWidths RepairWidths(ColumnWidths widths);

std::vector<std::uint8_t> WidthsToBytes(const ColumnWidths& widths);
ColumnWidths WidthsFromBytes(const std::vector<std::uint8_t>& bytes);

}  // namespace sondesk

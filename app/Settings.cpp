#include "app/Settings.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "app/Endian.h"
#include "app/WriteLock.h"
#include "app/ProfileFile.h"

namespace sondesk {

namespace {

bool EqualsNoCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return i == a.size() && b[i] == '\0';
}

const SettingKey* FindKey(const std::string& section, const std::string& key) {
  for (const SettingKey& k : KnownSettingKeys()) {
    if (EqualsNoCase(section, k.section) && EqualsNoCase(key, k.key)) return &k;
  }
  return nullptr;
}

std::string WidthsText(const ColumnWidths& w) {
  std::string s;
  for (std::size_t i = 0; i < w.size(); ++i) s += (i ? " " : "") + std::to_string(w[i]);
  return s;
}

}  // namespace

const std::vector<SettingKey>& KnownSettingKeys() {
  static const std::vector<SettingKey> keys = {
      {"Version", "language", SettingType::Int, "0", "UI language: 0 Italian, 1 English, 2 French, 3 German, 4 Spanish"},
      {"Settings", "Installpath", SettingType::String, "", "program folder"},
      {"Settings", "CWD", SettingType::String, "", "library folder (default: Installpath)"},
      {"Settings", "EXPD", SettingType::String, "", "export folder (default: Installpath)"},
      {"Settings", "Flashdrive", SettingType::String, "Nessuno", "mount point of the card reader; Nessuno: none"},
      {"Settings", "OnlyDriveRemovable", SettingType::Int, "1", "drive list shows removable drives only"},
      {"Settings", "CheckInterpret", SettingType::Int, "1", "check new performers against Artist.dat"},
      {"Settings", "CheckCategory", SettingType::Int, "1", "check new categories against genere.dat"},
      {"Settings", "AskInternet", SettingType::Int, "1", "ask at start-up whether to open the web site"},
      {"Settings", "CurrentLpt", SettingType::Int, "0", "parallel port: 0 LPT1, 1 LPT2"},
      {"Settings", "ForceDBSettings", SettingType::Int, "0", "apply catalogue records whatever the publisher"},
      {"Settings", "Left", SettingType::Int, "0", "main window"},
      {"Settings", "Top", SettingType::Int, "0", "main window"},
      {"Settings", "Width", SettingType::Int, "640", "main window"},
      {"Settings", "Height", SettingType::Int, "480", "main window"},
      {"Settings", "LeftPl", SettingType::Int, "0", "playlist editor window"},
      {"Settings", "TopPl", SettingType::Int, "0", "playlist editor window"},
      {"Settings", "WidthPl", SettingType::Int, "640", "playlist editor window"},
      {"Settings", "HeightPl", SettingType::Int, "480", "playlist editor window"},
      {"Settings", "EnableRoll", SettingType::Int, "0", "player options: rolling text allowed"},
      {"Settings", "WebUpdate", SettingType::Int, "1", "firmware update downloads from the web"},
      {"PATH", "ImportPath", SettingType::String, "A:", "folder the import file chooser opens in"},
      {"ListSettings", "List1_Width", SettingType::Struct, "200 200 200 96 96 100 100 100 0 0", "library columns"},
      {"ListSettings", "List2_Width", SettingType::Struct, "200 200 200 96 100 100 100 0 0 0", "card columns"},
      {"ListSettings", "Listpl1_Width", SettingType::Struct, "200 200 200 96 96 100 100 100 0 0", "playlist editor"},
      {"ListSettings", "Listpl2_Width", SettingType::Struct, "200 200 200 96 96 100 100 100 0 0", "playlist editor"},
      {"Settings", "PortBackend", SettingType::String, "auto", "player link: auto, ppdev, direct, virtual"},
      {"Settings", "VirtualCard", SettingType::String, "", "card image of the virtual player"},
      {"Settings", "FloppyPath", SettingType::String, "", "folder of the floppy import; empty: ask"},
      {"Settings", "TraceLink", SettingType::Int, "0", "1: write link trace lines to TraceFile"},
      {"Settings", "TraceFile", SettingType::String, "", "file of the link trace"},
      {"Web", "CompanyUrl", SettingType::String, "", "maker's web site"},
      {"Web", "DeviceUrl", SettingType::String, "", "player's web site"},
      {"Web", "UpdateUrl", SettingType::String, "", "base address of the firmware download"},
      {"Midi", "SoundFont", SettingType::String, "", "General MIDI SoundFont for playback"},
      {"Midi", "AudioDriver", SettingType::String, "", "FluidSynth audio driver"},
  };
  return keys;
}

Settings::Settings(std::string iniPath) : iniPath_(std::move(iniPath)) {}

ColumnWidths RepairWidths(ColumnWidths widths) {
  for (std::size_t i = 0; i < widths.size(); ++i) {
    if (widths[i] < 4 || widths[i] > 250) widths[i] = kDefaultColumnWidths[i];
  }
  return widths;
}

std::vector<std::uint8_t> WidthsToBytes(const ColumnWidths& widths) {
  std::vector<std::uint8_t> bytes(40);
  for (std::size_t i = 0; i < widths.size(); ++i) PutLe32(&bytes[4 * i], static_cast<std::uint32_t>(widths[i]));
  return bytes;
}

ColumnWidths WidthsFromBytes(const std::vector<std::uint8_t>& bytes) {
  ColumnWidths w{};
  for (std::size_t i = 0; i < w.size() && 4 * i + 4 <= bytes.size(); ++i) {
    w[i] = static_cast<std::int32_t>(GetLe32(&bytes[4 * i]));
  }
  return w;
}

std::unique_ptr<WriteLock> Settings::LockForWriting() {
  // Writing a key reads the file, changes one line and replaces the file: two writers at once would
  // each replace it with their own read, and one value would be lost. The folder is what is locked,
  // because the replace gives the file itself a new identity.
  const std::size_t slash = iniPath_.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : iniPath_.substr(0, slash));
  lockError_.clear();
  auto lock = WriteLock::Acquire(folder, "the settings file " + iniPath_, lockError_);
  return lock;
}

ColumnWidths Settings::ReadWidths(const std::string& key, const ColumnWidths& fallback) const {
  auto bytes = GetPrivateProfileStruct(iniPath_, "ListSettings", key, 40);
  return RepairWidths(bytes ? WidthsFromBytes(*bytes) : fallback);
}

ColumnWidths Settings::WidthsForSaving(const ColumnWidths& reported) {
  ColumnWidths w = reported;
  for (std::size_t i = 0; i < w.size(); ++i) {
    if (w[i] == 0) w[i] = kDefaultColumnWidths[i];
  }
  return w;
}

void Settings::Load() {
  const std::string& f = iniPath_;
  language = GetPrivateProfileInt(f, "Version", "language", 0);
  installPath = GetPrivateProfileString(f, "Settings", "Installpath", "");
  cwd = GetPrivateProfileString(f, "Settings", "CWD", installPath);
  expd = GetPrivateProfileString(f, "Settings", "EXPD", installPath);
  flashDrive = GetPrivateProfileString(f, "Settings", "Flashdrive", kNoDrive);
  onlyDriveRemovable = GetPrivateProfileInt(f, "Settings", "OnlyDriveRemovable", 1);
  checkInterpret = GetPrivateProfileInt(f, "Settings", "CheckInterpret", 1);
  checkCategory = GetPrivateProfileInt(f, "Settings", "CheckCategory", 1);
  askInternet = GetPrivateProfileInt(f, "Settings", "AskInternet", 1);
  currentLpt = GetPrivateProfileInt(f, "Settings", "CurrentLpt", 0);
  forceDbSettings = GetPrivateProfileInt(f, "Settings", "ForceDBSettings", 0);
  height = GetPrivateProfileInt(f, "Settings", "Height", 480);
  width = GetPrivateProfileInt(f, "Settings", "Width", 640);
  top = GetPrivateProfileInt(f, "Settings", "Top", 0);
  left = GetPrivateProfileInt(f, "Settings", "Left", 0);
  leftPl = GetPrivateProfileInt(f, "Settings", "LeftPl", 0);
  topPl = GetPrivateProfileInt(f, "Settings", "TopPl", 0);
  widthPl = GetPrivateProfileInt(f, "Settings", "WidthPl", 640);
  heightPl = GetPrivateProfileInt(f, "Settings", "HeightPl", 480);
  enableRoll = GetPrivateProfileInt(f, "Settings", "EnableRoll", 0);
  webUpdate = GetPrivateProfileInt(f, "Settings", "WebUpdate", 1);
  importPath = GetPrivateProfileString(f, "PATH", "ImportPath", "A:");
  list1Width = ReadWidths("List1_Width", kDefaultColumnWidths);
  list2Width = ReadWidths("List2_Width", kCardColumnWidths);
  portBackend = GetPrivateProfileString(f, "Settings", "PortBackend", "auto");
  virtualCard = GetPrivateProfileString(f, "Settings", "VirtualCard", "", 4096);
  floppyPath = GetPrivateProfileString(f, "Settings", "FloppyPath", "", 4096);
  traceLink = GetPrivateProfileInt(f, "Settings", "TraceLink", 0);
  traceFile = GetPrivateProfileString(f, "Settings", "TraceFile", "", 4096);
  companyUrl = GetPrivateProfileString(f, "Web", "CompanyUrl", "", 4096);
  deviceUrl = GetPrivateProfileString(f, "Web", "DeviceUrl", "", 4096);
  updateUrl = GetPrivateProfileString(f, "Web", "UpdateUrl", "", 4096);
  soundFont = GetPrivateProfileString(f, "Midi", "SoundFont", "", 4096);
  audioDriver = GetPrivateProfileString(f, "Midi", "AudioDriver", "", 4096);
}

void Settings::ApplyInMemory(const std::string& section, const std::string& key) {
  // Re-reading the whole file keeps one code path for every key; a settings write is rare.
  (void)section;
  (void)key;
  Load();
}

bool Settings::WriteInt(const std::string& section, const std::string& key, int value) {
  const auto lock = LockForWriting();
  if (!lock) return false;
  const bool ok = WriteProfileInt(iniPath_, section, key, value);
  ApplyInMemory(section, key);
  return ok;
}

bool Settings::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  const auto lock = LockForWriting();
  if (!lock) return false;
  const bool ok = WritePrivateProfileString(iniPath_, section, key, value);
  ApplyInMemory(section, key);
  return ok;
}

bool Settings::WriteWidths(const std::string& key, const ColumnWidths& widths) {
  const auto lock = LockForWriting();
  if (!lock) return false;
  const bool ok = WritePrivateProfileStruct(iniPath_, "ListSettings", key, WidthsToBytes(widths));
  ApplyInMemory("ListSettings", key);
  return ok;
}

std::optional<std::string> Settings::GetText(const std::string& section, const std::string& key) const {
  const SettingKey* k = FindKey(section, key);
  if (k == nullptr) return std::nullopt;
  switch (k->type) {
    case SettingType::Int:
      return std::to_string(GetPrivateProfileInt(iniPath_, k->section, k->key, std::atoi(k->fallback)));
    case SettingType::String: {
      std::string fallback = k->fallback;
      if (EqualsNoCase(key, "CWD") || EqualsNoCase(key, "EXPD")) {
        fallback = GetPrivateProfileString(iniPath_, "Settings", "Installpath", "");
      }
      return GetPrivateProfileString(iniPath_, k->section, k->key, fallback, 4096);
    }
    case SettingType::Struct: {
      ColumnWidths fallback{};
      std::istringstream in(k->fallback);
      for (auto& w : fallback) in >> w;
      return WidthsText(ReadWidths(k->key, fallback));
    }
  }
  return std::nullopt;
}

bool Settings::SetText(const std::string& section, const std::string& key, const std::string& value,
                       std::string& error) {
  const SettingKey* k = FindKey(section, key);
  if (k == nullptr) {
    error = "unknown settings key [" + section + "] " + key;
    return false;
  }
  bool ok = false;
  switch (k->type) {
    case SettingType::Int: {
      char* end = nullptr;
      const long v = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0') {
        error = "not an integer: " + value;
        return false;
      }
      ok = WriteInt(k->section, k->key, static_cast<int>(v));
      break;
    }
    case SettingType::String:
      ok = WriteString(k->section, k->key, value);
      break;
    case SettingType::Struct: {
      ColumnWidths w{};
      std::istringstream in(value);
      for (auto& x : w) {
        if (!(in >> x)) {
          error = "a column-width key takes ten integers";
          return false;
        }
      }
      std::string rest;
      if (in >> rest) {
        error = "a column-width key takes ten integers";
        return false;
      }
      ok = WriteWidths(k->key, w);
      break;
    }
  }
  if (!ok) error = !lockError_.empty() ? lockError_ : "cannot write " + iniPath_;
  return ok;
}

}  // namespace sondesk

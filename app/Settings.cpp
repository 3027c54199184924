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
      {"Midi", "Gain", SettingType::Int, "20", "playback volume: FluidSynth's gain in hundredths"},
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
  return ReadWidths(ProfileSnapshot(iniPath_), key, fallback);
}

ColumnWidths Settings::ReadWidths(const ProfileSnapshot& file, const std::string& key, const ColumnWidths& fallback) {
  auto bytes = file.GetStruct("ListSettings", key, 40);
  return RepairWidths(bytes ? WidthsFromBytes(*bytes) : fallback);
}

ColumnWidths Settings::WidthsForSaving(const ColumnWidths& reported) {
  ColumnWidths w = reported;
  for (std::size_t i = 0; i < w.size(); ++i) {
    if (w[i] == 0) w[i] = kDefaultColumnWidths[i];
  }
  return w;
}

namespace {

// Where each key of the file lives in memory, so that loading all keys and refreshing one after a
// write are the same code.
struct Field {
  const char* section;
  const char* key;
  SettingType type;
  int Settings::*intMember = nullptr;
  std::string Settings::*textMember = nullptr;
  ColumnWidths Settings::*widthsMember = nullptr;
  int intDefault = 0;
  const char* textDefault = nullptr;  // nullptr: the value of Installpath
  std::size_t size = 256;
  const ColumnWidths* widthsDefault = nullptr;
};

Field IntField(const char* section, const char* key, int Settings::*member, int fallback) {
  Field f{section, key, SettingType::Int};
  f.intMember = member;
  f.intDefault = fallback;
  return f;
}

Field TextField(const char* section, const char* key, std::string Settings::*member, const char* fallback,
                std::size_t size = 256) {
  Field f{section, key, SettingType::String};
  f.textMember = member;
  f.textDefault = fallback;
  f.size = size;
  return f;
}

Field WidthsField(const char* key, ColumnWidths Settings::*member, const ColumnWidths* fallback) {
  Field f{"ListSettings", key, SettingType::Struct};
  f.widthsMember = member;
  f.widthsDefault = fallback;
  return f;
}

// In load order: Installpath before the two folders that default to it.
const std::vector<Field>& Fields() {
  using S = Settings;
  static const std::vector<Field> fields = {
      IntField("Version", "language", &S::language, 0),
      TextField("Settings", "Installpath", &S::installPath, ""),
      TextField("Settings", "CWD", &S::cwd, nullptr),
      TextField("Settings", "EXPD", &S::expd, nullptr),
      TextField("Settings", "Flashdrive", &S::flashDrive, kNoDrive),
      IntField("Settings", "OnlyDriveRemovable", &S::onlyDriveRemovable, 1),
      IntField("Settings", "CheckInterpret", &S::checkInterpret, 1),
      IntField("Settings", "CheckCategory", &S::checkCategory, 1),
      IntField("Settings", "AskInternet", &S::askInternet, 1),
      IntField("Settings", "CurrentLpt", &S::currentLpt, 0),
      IntField("Settings", "ForceDBSettings", &S::forceDbSettings, 0),
      IntField("Settings", "Height", &S::height, 480),
      IntField("Settings", "Width", &S::width, 640),
      IntField("Settings", "Top", &S::top, 0),
      IntField("Settings", "Left", &S::left, 0),
      IntField("Settings", "LeftPl", &S::leftPl, 0),
      IntField("Settings", "TopPl", &S::topPl, 0),
      IntField("Settings", "WidthPl", &S::widthPl, 640),
      IntField("Settings", "HeightPl", &S::heightPl, 480),
      IntField("Settings", "EnableRoll", &S::enableRoll, 0),
      IntField("Settings", "WebUpdate", &S::webUpdate, 1),
      TextField("PATH", "ImportPath", &S::importPath, "A:"),
      WidthsField("List1_Width", &S::list1Width, &kDefaultColumnWidths),
      WidthsField("List2_Width", &S::list2Width, &kCardColumnWidths),
      TextField("Settings", "PortBackend", &S::portBackend, "auto"),
      TextField("Settings", "VirtualCard", &S::virtualCard, "", 4096),
      TextField("Settings", "FloppyPath", &S::floppyPath, "", 4096),
      IntField("Settings", "TraceLink", &S::traceLink, 0),
      TextField("Settings", "TraceFile", &S::traceFile, "", 4096),
      TextField("Web", "CompanyUrl", &S::companyUrl, "", 4096),
      TextField("Web", "DeviceUrl", &S::deviceUrl, "", 4096),
      TextField("Web", "UpdateUrl", &S::updateUrl, "", 4096),
      TextField("Midi", "SoundFont", &S::soundFont, "", 4096),
      TextField("Midi", "AudioDriver", &S::audioDriver, "", 4096),
      IntField("Midi", "Gain", &S::midiGain, 20),
  };
  return fields;
}

const Field* FindField(const std::string& section, const std::string& key) {
  for (const Field& f : Fields()) {
    if (EqualsNoCase(section, f.section) && EqualsNoCase(key, f.key)) return &f;
  }
  return nullptr;
}

}  // namespace

void Settings::LoadField(const ProfileSnapshot& file, const void* field) {
  const Field& f = *static_cast<const Field*>(field);
  switch (f.type) {
    case SettingType::Int:
      this->*f.intMember = file.GetInt(f.section, f.key, f.intDefault);
      break;
    case SettingType::String:
      this->*f.textMember = file.GetString(f.section, f.key, f.textDefault ? f.textDefault : installPath, f.size);
      break;
    case SettingType::Struct:
      this->*f.widthsMember = ReadWidths(file, f.key, *f.widthsDefault);
      break;
  }
}

// The file is read once for every key: reading it once per key made it the largest part of a
// short command's start.
void Settings::Load() {
  const ProfileSnapshot file(iniPath_);
  for (const Field& f : Fields()) LoadField(file, &f);
}

// Only the key written changes in memory: values this run holds without the file (a library folder
// chosen at start, a card drive set aside as not removable) must survive a write of another key.
// A key read back from the file keeps the reading rules (trimming, quotes); when the file could not
// be written, the value still holds for this run.
template <typename Apply>
void Settings::AfterWrite(bool written, const std::string& section, const std::string& key, Apply apply) {
  const Field* f = FindField(section, key);
  if (f == nullptr) return;
  if (written) {
    LoadField(ProfileSnapshot(iniPath_), f);
  } else {
    apply(*f);
  }
}

bool Settings::WriteInt(const std::string& section, const std::string& key, int value) {
  const auto lock = LockForWriting();
  if (!lock) return false;
  const bool ok = WriteProfileInt(iniPath_, section, key, value);
  AfterWrite(ok, section, key, [&](const Field& f) {
    if (f.intMember) this->*f.intMember = value;
  });
  return ok;
}

bool Settings::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  const auto lock = LockForWriting();
  if (!lock) return false;
  const bool ok = WritePrivateProfileString(iniPath_, section, key, value);
  AfterWrite(ok, section, key, [&](const Field& f) {
    if (f.textMember) this->*f.textMember = value;
  });
  return ok;
}

bool Settings::WriteWidths(const std::string& key, const ColumnWidths& widths) {
  const auto lock = LockForWriting();
  if (!lock) return false;
  const bool ok = WritePrivateProfileStruct(iniPath_, "ListSettings", key, WidthsToBytes(widths));
  AfterWrite(ok, "ListSettings", key, [&](const Field& f) {
    if (f.widthsMember) this->*f.widthsMember = RepairWidths(widths);
  });
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

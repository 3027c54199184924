#include "app/Session.h"

#include <sys/statvfs.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "app/AtomicFile.h"
#include "app/Endian.h"

namespace sondesk {

const char* LinkModeStatusText(LinkMode mode) {
  switch (mode) {
    case LinkMode::Player: return "SONVAR-PP";
    case LinkMode::CardReader: return "CF-Drive";
    case LinkMode::NoCard: break;
  }
  return "No Drive";
}

namespace {
std::string VFormat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return "";
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

Settings LoadedSettings(const std::string& iniPath) {
  Settings settings(iniPath);
  settings.Load();
  return settings;
}
}  // namespace

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = VFormat(format, args);
  va_end(args);
  return s;
}

std::string FormatRuntime(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = VFormat(format, args);
  va_end(args);
  return s;
}

Session::Session(Ui& ui, Paths paths, Clock& clock, int languageOverride)
    : ui_(&ui),
      clock_(&clock),
      paths_(std::move(paths)),
      settings_(LoadedSettings(paths_.IniPath())),
      messages_((languageOverride >= 0 && languageOverride < kLanguageCount) ? languageOverride
                                                                              : settings_.language),
      progress_(ui, clock) {}

Session::Session(const Session& like, Ui& ui)
    : ui_(&ui),
      clock_(like.clock_),
      paths_(like.paths_),
      settings_(like.settings_),
      messages_(like.messages_),
      progress_(ui, *like.clock_) {
  linkMode = like.linkMode;
  noTextWarning = like.noTextWarning;
  numericNameWarning = like.numericNameWarning;
}

long long Session::CardDriveFreeBytes() const {
  const std::string& drive = settings_.flashDrive;
  if (drive.empty() || drive == kNoDrive) return -1;
  struct statvfs st {};
  if (::statvfs(drive.c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.f_bavail) * static_cast<long long>(st.f_frsize);
}

bool Session::CardDriveUsable() {
  const std::string& drive = settings_.flashDrive;
  if (drive.empty() || drive == kNoDrive || !driveReady) return false;
  if (CardDriveFreeBytes() < 0) {
    driveReady = false;
    return false;
  }
  return true;
}

BoxAnswer Session::ShowBox(const std::string& text, int titleMessage, BoxIcon icon, BoxButtons buttons) {
  return ui_->ShowBox(text, Text(titleMessage), icon, buttons);
}

void Session::ShowStopBox(const std::string& text) { ShowBox(text, 22, BoxIcon::Stop, BoxButtons::Ok); }

void Session::ShowOpenError(const std::string& path) {
  ShowBox(FormatText(Text(9), path.c_str()), 24, BoxIcon::Stop, BoxButtons::Ok);
}

void Session::ShowCreateError(const std::string& path) {
  ShowBox(FormatText(Text(12), path.c_str()), 25, BoxIcon::Stop, BoxButtons::Ok);
}

bool Session::DevicePrompt() {
  const BoxAnswer a = ShowBox(Text(98), 22, BoxIcon::Warning, BoxButtons::RetryCancel);
  clock_->SleepMicros(10000);
  return a == BoxAnswer::Retry;
}

void Session::BusyCursorOn() {
  if (busy_) return;
  busy_ = true;
  ui_->BusyCursor(true);
}

void Session::BusyCursorOff() {
  if (!busy_) return;
  busy_ = false;
  ui_->BusyCursor(false);
}

bool Session::WriteCardDat() {
  const std::string path = JoinPath(libraryDir(), "CARD.DAT");
  BusyCursorOn();
  std::vector<std::uint8_t> data(4 + card.size() * kSongEntrySize);
  PutLe32(data.data(), static_cast<std::uint32_t>(card.size()));
  for (std::size_t i = 0; i < card.size(); ++i) {
    const auto record = SerializeSongEntry(card[i]);
    std::copy(record.begin(), record.end(), data.begin() + 4 + static_cast<std::ptrdiff_t>(i * kSongEntrySize));
  }
  const bool ok = WriteFileAtomically(path, data);
  BusyCursorOff();
  if (!ok) ShowCreateError(path);
  return ok;
}

}  // namespace sondesk

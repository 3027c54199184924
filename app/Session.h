#pragma once
// Everything the program holds for one run: settings, the message table, both song lists, how the
// card is reached, and the Ui through which the core talks to the user. The program makes one at
// start and passes it down; tests make as many as they like.

#include <string>

#include "app/Clock.h"
#include "app/Paths.h"
#include "app/Progress.h"
#include "app/Settings.h"
#include "app/SongEntry.h"
#include "app/Ui.h"
#include "messages/MessageTable.h"

namespace sondesk {

// How the card is reached.
enum class LinkMode : int { NoCard = -1, CardReader = 0, Player = 1 };

// "SONVAR-PP", "CF-Drive", "No Drive"
const char* LinkModeStatusText(LinkMode mode);

class Session {
 public:
  // Reads Sondesk.INI from `paths.windir` and fills the message table of its language, unless
  // `languageOverride` is 0-4.
  Session(Ui& ui, Paths paths, Clock& clock = SystemClock(), int languageOverride = -1);
  // A session for work on another thread: the folders, settings, message table and warning
  // switches of `like` as they are now, its own Ui, empty song lists. Nothing is read from disk.
  Session(const Session& like, Ui& ui);

  Ui& ui() { return *ui_; }
  Clock& clock() { return *clock_; }
  const Paths& paths() const { return paths_; }
  Settings& settings() { return settings_; }
  const Settings& settings() const { return settings_; }
  const MessageTable& messages() const { return messages_; }
  Progress& progress() { return progress_; }

  // Message `n` of the table (Windows-1252).
  const std::string& Text(int n) const { return messages_[n]; }

  // The library folder, the program folder and the export folder of this run.
  const std::string& libraryDir() const { return settings_.cwd; }
  const std::string& programDir() const { return settings_.installPath; }
  void SetLibraryDir(const std::string& dir) { settings_.cwd = dir; }
  void SetProgramDir(const std::string& dir) { settings_.installPath = dir; }
  const std::string& workDir() const { return paths_.workDir; }

  LibraryList library;
  CardList card;
  LinkMode linkMode = LinkMode::NoCard;
  bool startupFinished = false;

  // The card-drive latch: set at start; a failed read of the drive clears it, and only the
  // connect step sets it again, so a drive that failed once is not tried on every poll.
  bool driveReady = true;
  // The card drive is usable when one is configured, the latch is set and its free space can be
  // read; a failure clears the latch.
  bool CardDriveUsable();
  // Free bytes of the card drive, or -1 when it cannot be read.
  long long CardDriveFreeBytes() const;

  // The two warning switches with a "Show this message again" box.
  bool noTextWarning = true;
  bool numericNameWarning = true;

  // Shared boxes.
  void ShowStopBox(const std::string& text);
  void ShowOpenError(const std::string& path);
  void ShowCreateError(const std::string& path);
  BoxAnswer ShowBox(const std::string& text, int titleMessage, BoxIcon icon, BoxButtons buttons);
  // The device prompt of the link: message 98, Retry / Cancel. True for Retry.
  bool DevicePrompt();

  // The wait cursor; calls do not nest: one off ends any number of ons.
  void BusyCursorOn();
  void BusyCursorOff();
  bool busyCursor() const { return busy_; }

  void SetStatusPane(int pane, const std::string& text) { ui_->SetStatusPane(pane, text); }

  // Writes the card list to CARD.DAT in the library folder: a 32-bit count, then 308-byte records.
  // Shows "Cannot Create %s" when it cannot.
  bool WriteCardDat();

 private:
  Ui* ui_;
  Clock* clock_;
  Paths paths_;
  Settings settings_;
  MessageTable messages_;
  Progress progress_;
  bool busy_ = false;
};

// printf into a std::string, for the message texts with placeholders.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for a format taken from the message table at run time.
std::string FormatRuntime(const char* format, ...);
template <typename... Args>
std::string FormatText(const std::string& format, Args... args) {
  return FormatRuntime(format.c_str(), args...);
}

}  // namespace sondesk

#pragma once
// What every sondesk-cli command shares: the global options, the console Ui and the session,
// made on first use so that `messages show` needs no settings folder.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Session.h"
#include "app/WriteLock.h"
#include "catalogue/CardService.h"
#include "cli/ConsoleUi.h"

namespace CLI {
class App;
}

namespace sondesk {

struct CliOptions {
  std::string windir;
  std::string library;
  std::string programDir;
  int lang = -1;
  std::string card;  // --card DIR: reader mode
  std::string port;  // --port PORT: through the player
  std::string image; // --image IMAGE: the card image or raw card device, read directly
  bool yes = false;
  bool no = false;
  std::string onDuplicate;
  bool quiet = false;
  bool verbose = false;
};

class CliContext {
 public:
  CliOptions options;
  ConsoleUi ui;

  // The session of this run, with --library / --program-dir / --lang applied.
  Session& session();

  // The card named by --card (a reader), --port (the player) or --image (read directly), else the
  // settings' card drive, opened through the card service; through the player it is mounted unless
  // `mount` is false (a format needs no file system). nullptr after telling why.
  std::unique_ptr<CardService> OpenCard(bool mount = true);

  // Exit status: 0 success, 1 failure, 2 usage.
  int exitCode = 0;
  void Fail(const std::string& message);  // prints to stderr, exit status 1
  void Usage(const std::string& message); // prints to stderr, exit status 2

  // Locks for the length of the command what it is about to change: the library folder, or the
  // card (its image, device, port or reader folder). False, after Fail, when another writer holds it.
  bool LockLibrary();
  bool LockCard();

 private:
  bool Hold(const std::string& path, const std::string& what);
  std::unique_ptr<Session> session_;
  std::vector<std::unique_ptr<WriteLock>> locks_;
};

// Each command group registers its subcommands; the callbacks set ctx.exitCode.
void RegisterMessageCommands(CLI::App& app, CliContext& ctx);
void RegisterSettingsCommands(CLI::App& app, CliContext& ctx);
void RegisterMf3Commands(CLI::App& app, CliContext& ctx);       // mf3, lzhuf
// `lzhuf compress|decompress IN OUT` given alone, served before the command line is built
// (scripts call it once per file). 0 when done; -1 when it is not that command or did not
// succeed, and the full command line then runs it and reports.
int RunBareLzhufCommand(int argc, char** argv);
void RegisterConvertCommands(CLI::App& app, CliContext& ctx);   // convert, render, lyrics
void RegisterLibraryCommands(CLI::App& app, CliContext& ctx);   // library, export
void RegisterCardCommands(CLI::App& app, CliContext& ctx);      // card, playlist, options
void RegisterFsCommands(CLI::App& app, CliContext& ctx);        // fs, virtual
void RegisterPlayerCommands(CLI::App& app, CliContext& ctx);    // firmware, play
void RegisterLyricsCommands(CLI::App& app, CliContext& ctx);    // lyrics
void RegisterVirtualCommands(CLI::App& app, CliContext& ctx);   // virtual
void RegisterCardFsCommands(CLI::App& app, CliContext& ctx);    // card format, card report
void RegisterFirmwareCommands(CLI::App& app, CliContext& ctx);  // firmware, virtual firmware

// Builds the command groups a run needs (the global options already added): the one named on the
// command line, or all of them.
void RegisterCommandGroups(CLI::App& app, CliContext& ctx, int argc, char** argv);

// The subcommand `name` of `parent`, made when no group has made it yet (several groups add to
// "card").
CLI::App* GetOrAddSubcommand(CLI::App& parent, const std::string& name, const std::string& description);

}  // namespace sondesk

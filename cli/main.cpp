// sondesk-cli: every operation of SonDesk from the shell, over the same core as the desktop program.

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/CliContext.h"

int main(int argc, char** argv) {
  using namespace sondesk;
  if (RunBareLzhufCommand(argc, argv) == 0) return 0;
  CliContext ctx;
  CLI::App app{"SonDesk: songs, card and player of the SONVAR karaoke player, from the command line"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "sondesk-cli " SONDESK_VERSION);
  auto& o = ctx.options;
  app.add_option("--windir", o.windir, "folder of Sondesk.INI (else $SONDESK_WINDIR, else ~/.config/sondesk)");
  app.add_option("--library", o.library, "library folder for this run (else CWD of the settings)");
  app.add_option("--program-dir", o.programDir, "program folder for this run (else Installpath)");
  app.add_option("--lang", o.lang, "language 0-4 for this run: Italian, English, French, German, Spanish")
      ->check(CLI::Range(0, 4));
  auto* card = app.add_option("--card", o.card, "reach the card as a card reader: DIR is the mounted card");
  auto* port = app.add_option("--port", o.port,
                              "reach the card through the player: virtual:IMAGE, ppdev:/dev/parportN, lpt1, lpt2")
                   ->excludes(card);
  app.add_option("--image", o.image, "reach the card's FAT16 directly: IMAGE is a card image or a raw card device")
      ->excludes(card)
      ->excludes(port);
  auto* yes = app.add_flag("--yes", o.yes, "answer every Yes/No or OK/Cancel question with Yes/OK");
  app.add_flag("--no", o.no, "answer every Yes/No or OK/Cancel question with No/Cancel")->excludes(yes);
  app.add_option("--on-duplicate", o.onDuplicate, "answer to the duplicate-name question of an import")
      ->check(CLI::IsMember({"rename", "replace"}));
  app.add_flag("--quiet", o.quiet, "no progress bar");
  app.add_flag("--verbose", o.verbose, "show status lines and diagnostics");

  app.parse_complete_callback([&ctx] {
    auto& opt = ctx.options;
    ctx.ui.answers = opt.yes ? ConsoleUi::Answers::Yes : opt.no ? ConsoleUi::Answers::No : ConsoleUi::Answers::Ask;
    if (opt.onDuplicate == "rename") ctx.ui.duplicateAnswer = DuplicateAnswer::ModifyAllNames;
    if (opt.onDuplicate == "replace") ctx.ui.duplicateAnswer = DuplicateAnswer::ReplaceAll;
    ctx.ui.quiet = opt.quiet;
    ctx.ui.verbose = opt.verbose;
  });

  RegisterCommandGroups(app, ctx, argc, argv);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? 0 : 2;
  }
  return ctx.exitCode;
}

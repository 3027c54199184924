// card format, card report: the format of a card in a reader (--card), through the player (--port)
// or read directly (--image), and the extended diagnostics report.

#include <CLI/CLI.hpp>
#include <memory>

#include "app/Paths.h"
#include "cardfs/CardConnection.h"
#include "cardfs/CardReport.h"
#include "catalogue/CardService.h"
#include "cli/CliContext.h"

namespace sondesk {

namespace {

std::unique_ptr<CardConnection> OpenForCommand(CliContext& ctx, const char* command) {
  if (!ctx.options.card.empty()) {
    ctx.Usage(std::string(command) + " works on the card's sectors: give --port or --image, not --card");
    return nullptr;
  }
  std::string error;
  auto c = CardConnection::Open(ctx.session(), ctx.options.image, ctx.options.port, error);
  if (!c) ctx.Fail(error);
  return c;
}

// The same format as the desktop program's, through a reader or through the player: the question,
// then a fresh file system (or every file deleted) and the empty catalogue with its 31 song folders.
void FormatCommand(CliContext& ctx) {
  // Locked before the first read: another writer's songs must not land on a card being formatted.
  if (!ctx.LockCard()) return;
  auto card = ctx.OpenCard(/*mount=*/false);
  if (!card) return;
  const int errorsBefore = ctx.ui.errorsShown;
  if (card->Format() != 1) {
    // A format that failed says why; one the user declined says so.
    CardFileSystem* fs = card->fileSystem();
    const std::string why =
        fs != nullptr && fs->lastError() != CardError::None ? fs->lastErrorText() : std::string();
    ctx.Fail(why.empty() ? "the card was not formatted" : "the card could not be formatted: " + why);
    return;
  }
  if (CardFileSystem* fs = card->fileSystem()) {
    if (!fs->mounted()) {
      ctx.Fail("the card could not be formatted: " + fs->lastErrorText());
      return;
    }
  }
  if (ctx.ui.errorsShown > errorsBefore) ctx.Fail("the card was formatted with errors");
}

void Report(CliContext& ctx, const std::string& out) {
  Session& session = ctx.session();
  auto c = OpenForCommand(ctx, "card report");
  if (!c) return;
  const std::string index0 = JoinPath(session.workDir(), "INDEX0.DAT");
  if (!WriteExtendedReport(c->fs(), out, index0)) ctx.Fail("no report written: " + c->fs().lastErrorText());
}

}  // namespace

void RegisterCardFsCommands(CLI::App& app, CliContext& ctx) {
  CLI::App* card = GetOrAddSubcommand(app, "card", "the songs and catalogue on the card");

  card->add_subcommand("format", "a fresh FAT16 on the card (asks first; --yes to confirm)")
      ->callback([&ctx] { FormatCommand(ctx); });

  auto* report = card->add_subcommand("report", "the extended diagnostics report of the card as HTML");
  auto out = std::make_shared<std::string>();
  report->add_option("OUT", *out, "the HTML file to write")->required();
  report->callback([&ctx, out] { Report(ctx, *out); });
}

}  // namespace sondesk

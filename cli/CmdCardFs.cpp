// card format, card report: the format of a card reached through the player (--port) or directly
// (--image), and the extended diagnostics report.

#include <CLI/CLI.hpp>
#include <memory>

#include "app/Paths.h"
#include "cardfs/CardConnection.h"
#include "cardfs/CardReport.h"
#include "catalogue/FatCardFiles.h"
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

void FormatCommand(CliContext& ctx) {
  Session& session = ctx.session();
  if (!ctx.LockCard()) return;
  auto c = OpenForCommand(ctx, "card format");
  if (!c) return;
  if (session.ShowBox(session.Text(123), 22, BoxIcon::Question, BoxButtons::YesNo) != BoxAnswer::Yes) {
    ctx.Fail("the card was not formatted");
    return;
  }
  CardFileSystem& fs = c->fs();
  // The empty catalogue that a format ends with: the INDEX, ALPHA, SETUP and playlist files and
  // the 31 song folders, written before the boot sector says FAT16.
  InstallCatalogueCreator(fs);
  session.BusyCursorOn();
  const int ok = fs.FormatCard();
  session.BusyCursorOff();
  if (!ok) {
    ctx.Fail("the card could not be formatted: " + fs.lastErrorText());
    return;
  }
  if (!fs.ConnectCard()) ctx.Fail("the card does not mount after its format: " + fs.lastErrorText());
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

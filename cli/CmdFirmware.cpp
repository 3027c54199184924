// firmware check | download | update, and virtual firmware: the player's program from the shell.
#include <CLI/CLI.hpp>
#include <iostream>

#include "app/Paths.h"
#include "cli/CliContext.h"
#include "emulator/VirtualFlash.h"
#include "link/Download.h"
#include "link/FirmwareFile.h"
#include "link/FirmwareUpdate.h"
#include "link/Link.h"
#include "messages/Cp1252.h"

namespace sondesk {

namespace {

std::string WithoutLineEnd(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

const char* OutcomeText(FirmwareOutcome o) {
  switch (o) {
    case FirmwareOutcome::Updated: return "updated";
    case FirmwareOutcome::Declined: return "declined";
    case FirmwareOutcome::NoFile: return "no file";
    case FirmwareOutcome::Invalid: return "invalid file";
    case FirmwareOutcome::Failed: return "failed";
  }
  return "failed";
}

}  // namespace

void RegisterFirmwareCommands(CLI::App& app, CliContext& ctx) {
  CLI::App* group = GetOrAddSubcommand(app, "firmware", "the player's program: check, download, update");

  auto* check = group->add_subcommand("check", "whether a firmware file is valid, and why not");
  static std::string checkFile;
  check->add_option("FILE", checkFile, "the firmware file")->required();
  check->callback([&ctx] {
    const FirmwareCheck c = CheckFirmwareFile(checkFile);
    std::cout << "file: " << checkFile << "\n"
              << "valid: " << (c.valid ? "yes" : "no") << "\n";
    if (!c.valid) std::cout << "reason: " << c.reason << "\n";
    std::cout << "version: " << Cp1252ToUtf8(c.version) << "\n"
              << "count: " << c.count << " (line 2: " << c.declaredCount << ")\n"
              << "sum: " << c.sum << " (line 2: " << c.declaredSum << ")\n";
    if (c.valid) {
      std::cout << "records: " << c.records << "\n"
                << "dataBytes: " << c.dataBytes << "\n"
                << "dataSum: " << c.dataSum << "\n";
    }
    if (!c.valid) {
      ctx.Fail(checkFile + " is not a valid firmware file: " + c.reason);
      return;
    }
    ctx.exitCode = 0;
  });

  auto* download = group->add_subcommand("download", "fetch file/sonvar.mhx from the update server");
  static std::string downloadOut;
  download->add_option("OUT", downloadOut, "where to put it (else SONVAR.MHX of the program folder)");
  download->callback([&ctx] {
    Session& session = ctx.session();
    const std::string target = downloadOut.empty() ? FirmwareFilePath(session) : downloadOut;
    MakeFolders(DirName(target));
    Progress& progress = session.progress();
    progress.ProgressStart(250);
    progress.AllowCancel();
    progress.ProgressSetLine1(session.Text(28));
    progress.ProgressSetLine2("");
    std::string error;
    bool invalid = false;
    const int ok = FetchFirmwareFile(session, target, error, invalid);
    progress.ProgressEnd();
    const std::string url = UpdateServerUrl(session, kFirmwareServerPath);
    if (!ok) {
      ctx.Fail(url + ": " + WithoutLineEnd(error));
      return;
    }
    std::cout << "url: " << url << "\n"
              << "file: " << target << "\n"
              << "version: " << Cp1252ToUtf8(WithoutLineEnd(ReadFirmwareVersion(target))) << "\n";
    ctx.exitCode = 0;
  });

  auto* update = group->add_subcommand("update", "write the firmware into the player (--port)");
  static std::string updateFile;
  update->add_option("FILE", updateFile, "the firmware file (else the download, as the desktop program does)");
  update->callback([&ctx] {
    Session& session = ctx.session();
    std::string error;
    auto link = OpenLink(session, ctx.options.port, error);
    if (!link) {
      ctx.Fail(error);
      return;
    }
    const FirmwareUpdateResult r = UpdateFirmware(session, *link, updateFile);
    if (!r.version.empty()) std::cout << "version: " << Cp1252ToUtf8(WithoutLineEnd(r.version)) << "\n";
    std::cout << "result: " << OutcomeText(r.outcome) << "\n";
    if (r.outcome != FirmwareOutcome::Updated) {
      ctx.Fail(std::string("firmware not updated: ") + OutcomeText(r.outcome) +
               (r.detail.empty() ? "" : " (" + WithoutLineEnd(r.detail) + ")"));
      return;
    }
    ctx.exitCode = 0;
  });

  CLI::App* virtualGroup =
      GetOrAddSubcommand(app, "virtual", "the virtual player: card images for a player on no cable");
  auto* shown = virtualGroup->add_subcommand("firmware", "the virtual player's programmed firmware");
  static std::string image;
  shown->add_option("IMAGE", image, "the virtual player's card image")->required();
  shown->callback([&ctx] {
    if (!IsFile(image)) {
      ctx.Fail("no card image " + image);
      return;
    }
    VirtualFlash flash;
    std::string error;
    if (!flash.Load(FlashSideFilePath(image), error)) {
      ctx.Fail(error);
      return;
    }
    const VirtualFlash::Summary s = flash.Summarize();
    std::cout << "image: " << image << "\n"
              << "version: " << Cp1252ToUtf8(s.version) << "\n"
              << "bytes: " << s.bytes << "\n"
              << "sum: " << s.sum << "\n"
              << "erased:";
    for (std::uint32_t b : s.erasedBlocks) std::cout << " " << b;
    std::cout << "\n";
    ctx.exitCode = 0;
  });
}

}  // namespace sondesk

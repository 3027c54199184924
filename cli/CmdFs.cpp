// fs info | ls | get | put | rm: the card's FAT16 as the program keeps it itself, through the player
// (--port) or directly on a card image or raw card device (--image).

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "cardfs/CardConnection.h"
#include "cli/CliContext.h"
#include "messages/Cp1252.h"

namespace sondesk {

namespace {

// The connection of one command, connected (mounted, root read); nullptr after the error was told.
std::unique_ptr<CardConnection> ConnectForCommand(CliContext& ctx) {
  if (!ctx.options.card.empty()) {
    ctx.Usage("fs works on the card's FAT16 itself: give --port or --image, not --card");
    return nullptr;
  }
  std::string error;
  auto c = CardConnection::Open(ctx.session(), ctx.options.image, ctx.options.port, error);
  if (!c) {
    ctx.Fail(error);
    return nullptr;
  }
  if (!c->fs().ConnectCard()) {
    ctx.Fail("cannot mount the card: " + c->fs().lastErrorText());
    return nullptr;
  }
  return c;
}

// "" or "/" for the root, else a folder of the root.
std::string FolderArgument(const std::string& dir) {
  return dir == "/" ? std::string() : dir;
}

bool Name11Argument(CliContext& ctx, const std::string& name, std::string& name11) {
  const auto n = MakeName11(name);
  if (!n) {
    ctx.Usage("not an 8.3 file name: " + name);
    return false;
  }
  name11 = *n;
  return true;
}

void FailWith(CliContext& ctx, CardConnection& c, const std::string& what) {
  ctx.Fail(what + ": " + c.fs().lastErrorText());
}

void Info(CliContext& ctx) {
  auto c = ConnectForCommand(ctx);
  if (!c) return;
  CardFileSystem& fs = c->fs();
  const CardGeometry& g = fs.geometry();
  const std::uint32_t free = fs.FreeClusters();
  auto line = [](const char* key, unsigned long value) { std::printf("%s: %lu\n", key, value); };
  std::printf("Device: %s\n", c->device().Describe().c_str());
  std::printf("Model: %s\n", Cp1252ToUtf8(fs.identity().Model()).c_str());
  std::printf("Serial: %s\n", Cp1252ToUtf8(fs.identity().Serial()).c_str());
  line("CardSectors", fs.identity().SectorCount());
  line("PbrLba", g.PbrLba);
  line("BytesPerSec", g.BytesPerSec);
  line("SecPerClust", g.SecPerClust);
  line("ResSectors", g.ResSectors);
  line("FATs", g.FATs);
  line("RootDirEnts", g.RootDirEnts);
  line("FATsecs", g.FATsecs);
  line("SecPerTrack", g.SecPerTrack);
  line("Heads", g.Heads);
  line("HiddenSecs", g.HiddenSecs);
  line("TotalSectors", g.TotalSectors);
  line("Cylinders", g.Cylinders);
  line("SizeMB", g.SizeMB);
  line("FatLba", g.FatLba);
  line("RootLba", g.RootLba);
  line("DataLba", g.DataLba);
  line("ClusterCount", g.ClusterCount);
  line("ClusterBytes", g.ClusterBytes);
  line("FreeClusters", free);
  line("FreeKB", static_cast<unsigned long>(free) * g.SecPerClust / 2);
  line("FilesAndDirs", fs.CountChainEnds());
}

void List(CliContext& ctx, const std::string& dir) {
  auto c = ConnectForCommand(ctx);
  if (!c) return;
  std::vector<DirEntryRef> entries;
  if (!c->fs().ListDirectory(FolderArgument(dir), entries))
    return FailWith(ctx, *c, "cannot list '" + dir + "'");
  for (const DirEntryRef& r : entries) {
    const DirEntry& e = r.entry;
    if (e.IsLongNamePart() || e.IsVolumeLabel() || e.IsDotEntry()) continue;
    std::string name = Cp1252ToUtf8(Name11ToDisplay(e.Name11()));
    if (e.IsDirectory()) name += "/";
    std::printf("%s\t%lu\t%u\n", name.c_str(), static_cast<unsigned long>(e.size), e.firstCluster);
  }
}

void Get(CliContext& ctx, const std::string& dir, const std::string& name, const std::string& out) {
  std::string name11;
  if (!Name11Argument(ctx, name, name11)) return;
  auto c = ConnectForCommand(ctx);
  if (!c) return;
  if (!c->fs().ReadCardFile(FolderArgument(dir), name11, out)) FailWith(ctx, *c, "cannot read " + name);
}

void Put(CliContext& ctx, const std::string& dir, const std::string& name, const std::string& in) {
  std::string name11;
  if (!Name11Argument(ctx, name, name11)) return;
  auto c = ConnectForCommand(ctx);
  if (!c) return;
  if (!c->fs().WriteCardFile(FolderArgument(dir), name11, in)) FailWith(ctx, *c, "cannot write " + name);
}

// Several files into one folder over one connection: NAME=IN each. The first that cannot be
// written ends the command; those before it are on the card.
void PutMany(CliContext& ctx, const std::string& dir, const std::vector<std::string>& items) {
  std::vector<std::pair<std::string, std::string>> files;  // name11, PC file
  for (const std::string& item : items) {
    const std::size_t eq = item.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == item.size())
      return ctx.Usage("'" + item + "': give NAME=FILE for each file, or NAME FILE for one");
    std::string name11;
    if (!Name11Argument(ctx, item.substr(0, eq), name11)) return;
    files.emplace_back(name11, item.substr(eq + 1));
  }
  auto c = ConnectForCommand(ctx);
  if (!c) return;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!c->fs().WriteCardFile(FolderArgument(dir), files[i].first, files[i].second))
      return FailWith(ctx, *c, "cannot write " + items[i].substr(0, items[i].find('=')));
  }
}

void Remove(CliContext& ctx, const std::string& dir, const std::string& name) {
  std::string name11;
  if (!Name11Argument(ctx, name, name11)) return;
  auto c = ConnectForCommand(ctx);
  if (!c) return;
  if (!c->fs().DeleteCardFile(FolderArgument(dir), name11)) FailWith(ctx, *c, "cannot delete " + name);
}

}  // namespace

void RegisterFsCommands(CLI::App& app, CliContext& ctx) {
  CLI::App* fs =
      app.add_subcommand("fs", "the card's FAT16 through the player (--port) or on an image (--image)");
  fs->require_subcommand(1);

  fs->add_subcommand("info", "mounted geometry and free space")->callback([&ctx] { Info(ctx); });

  auto* ls =
      fs->add_subcommand("ls", "name, size and first cluster of each entry of a folder (\"\" the root)");
  auto lsDir = std::make_shared<std::string>();
  ls->add_option("DIR", *lsDir, "a folder of the root (\"5\"), or \"\" for the root");
  ls->callback([&ctx, lsDir] { List(ctx, *lsDir); });

  struct Args {
    std::string dir, name, path;
  };
  auto get = fs->add_subcommand("get", "copy a card file to a PC file");
  auto getArgs = std::make_shared<Args>();
  get->add_option("DIR", getArgs->dir, "folder of the root, or \"\"")->required();
  get->add_option("NAME", getArgs->name, "8.3 name on the card")->required();
  get->add_option("OUT", getArgs->path, "PC file to write")->required();
  get->callback([&ctx, getArgs] { Get(ctx, getArgs->dir, getArgs->name, getArgs->path); });

  auto put = fs->add_subcommand(
      "put", "copy PC files onto the card, replacing files of those names: DIR NAME IN, or DIR NAME=IN...");
  auto putArgs = std::make_shared<Args>();
  auto putItems = std::make_shared<std::vector<std::string>>();
  put->add_option("DIR", putArgs->dir, "folder of the root, or \"\"")->required();
  put->add_option("FILES", *putItems, "NAME IN (one file), or NAME=IN for each file")->required();
  put->callback([&ctx, putArgs, putItems] {
    const auto& items = *putItems;
    if (items.size() == 2 && items[0].find('=') == std::string::npos) return Put(ctx, putArgs->dir, items[0], items[1]);
    PutMany(ctx, putArgs->dir, items);
  });

  auto rm = fs->add_subcommand("rm", "delete a card file");
  auto rmArgs = std::make_shared<Args>();
  rm->add_option("DIR", rmArgs->dir, "folder of the root, or \"\"")->required();
  rm->add_option("NAME", rmArgs->name, "8.3 name on the card")->required();
  rm->callback([&ctx, rmArgs] { Remove(ctx, rmArgs->dir, rmArgs->name); });
}

}  // namespace sondesk

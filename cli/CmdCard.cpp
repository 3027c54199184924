// card list | to | from | delete | free | check | recover, playlist ..., options show | set: the
// card's songs, catalogue, playlists and player options, through a card reader (--card DIR),
// through the player (--port PORT) or on a card image read directly (--image IMAGE).

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "app/Paths.h"
#include "cardfs/CardFileSystem.h"
#include "catalogue/CardCatalogue.h"
#include "catalogue/CardCommands.h"
#include "catalogue/CardTransfers.h"
#include "catalogue/CatalogueCheck.h"
#include "catalogue/Playlists.h"
#include "catalogue/SetupFile.h"
#include "cli/CliContext.h"
#include "library/LibraryStore.h"
#include "messages/Cp1252.h"

namespace sondesk {

namespace {

std::string Out(const std::string& cp1252) {
  return Cp1252ToUtf8(cp1252);
}

// The card of one command: the way to it and the catalogue over it.
struct OpenCard {
  std::unique_ptr<CardService> service;
  Catalogue& cat() { return service->catalogue(); }
};

// `writes`: the command changes the card, and holds its lock from before the first read.
std::unique_ptr<OpenCard> Open(CliContext& ctx, bool writes = false) {
  if (writes && !ctx.LockCard()) return nullptr;
  auto service = ctx.OpenCard();
  if (!service) return nullptr;
  if (writes) {
    std::string problem;
    const int writable = service->CheckWritable(problem);
    if (writable != 1) {
      CardFileSystem* fs = service->fileSystem();
      ctx.Fail(writable < 0 ? "cannot read the card: " + (fs != nullptr ? fs->lastErrorText() : std::string())
                            : "the card's file system is damaged (" + problem +
                                  "): nothing is written to it. Copy its songs back with `card from`, then "
                                  "format it with `card format`");
      return nullptr;
    }
  }
  auto card = std::make_unique<OpenCard>();
  card->service = std::move(service);
  return card;
}

// Opened, with the card list and title index loaded as when a card is opened in the program.
std::unique_ptr<OpenCard> OpenLoaded(CliContext& ctx, bool writes = false) {
  auto card = Open(ctx, writes);
  if (!card) return nullptr;
  if (LoadCardCatalogue(card->cat()) != 1) {
    ctx.Fail("the card's catalogue cannot be read");
    return nullptr;
  }
  return card;
}

// A command whose boxes told of failures ends with status 1.
struct ErrorWatch {
  CliContext& ctx;
  int before;
  explicit ErrorWatch(CliContext& c) : ctx(c), before(c.ui.errorsShown) {}
  void Finish(const std::string& what) {
    if (ctx.exitCode == 0 && ctx.ui.errorsShown > before) ctx.Fail(what);
  }
};

// Runs a command that writes to the card: a write that failed with its box ("Cannot Create
// PLAY1.PLL") ends the command with status 1 even where the operation itself went on.
template <typename F>
void Writing(CliContext& ctx, const char* what, F&& f) {
  ErrorWatch watch(ctx);
  f();
  watch.Finish(what);
}

// The card-list entries of the given song numbers; false after telling which is not on the card.
bool CardIndexes(CliContext& ctx, const Session& s, const std::vector<unsigned>& numbers,
                 std::vector<std::size_t>& out) {
  for (unsigned n : numbers) {
    std::size_t i = 0;
    while (i < s.card.size() && s.card[i].songNumber() != n) ++i;
    if (i == s.card.size()) {
      ctx.Fail("no song " + std::to_string(n) + " on the card");
      return false;
    }
    out.push_back(i);
  }
  return true;
}

void PrintSong(const SongEntry& e) {
  std::printf("%u\t%s\t%s\t%s\n", static_cast<unsigned>(e.songNumber()), Out(e.title).c_str(),
              Out(e.performer).c_str(), Out(e.category).c_str());
}

// --- card ------------------------------------------------------------------------------------

void List(CliContext& ctx) {
  auto card = OpenLoaded(ctx);
  if (!card) return;
  for (const SongEntry& e : ctx.session().card) PrintSong(e);
}

void To(CliContext& ctx, const std::vector<std::string>& paths, bool all) {
  if (all == !paths.empty()) {
    ctx.Usage("card to: give the library songs' files or --all");
    return;
  }
  auto card = OpenLoaded(ctx, true);
  if (!card) return;
  Session& s = ctx.session();
  ReadLibrary(s);
  std::vector<std::size_t> selected;
  if (all) {
    for (std::size_t i = 0; i < s.library.size(); ++i) selected.push_back(i);
  } else {
    for (const std::string& p : paths) {
      const long i = FindLibraryEntry(s, p);
      if (i < 0) {
        ctx.Fail("not a song of the library: " + p);
        return;
      }
      selected.push_back(static_cast<std::size_t>(i));
    }
  }
  const std::size_t before = s.card.size();
  ErrorWatch watch(ctx);
  if (CardToCommand(card->cat(), selected) != 1) {
    ctx.Fail("nothing was copied to the card");
    return;
  }
  for (std::size_t i = before; i < s.card.size(); ++i) PrintSong(s.card[i]);
  watch.Finish("not every song was copied to the card");
}

void From(CliContext& ctx, const std::vector<unsigned>& numbers) {
  if (!ctx.LockLibrary()) return;
  auto card = OpenLoaded(ctx);
  if (!card) return;
  std::vector<std::size_t> selected;
  if (!CardIndexes(ctx, ctx.session(), numbers, selected)) return;
  ErrorWatch watch(ctx);
  const std::size_t copied = CopySongsFromCard(card->cat(), selected);
  if (copied < selected.size()) ctx.Fail(Format("%zu of %zu songs were copied", copied, selected.size()));
  watch.Finish("not every song was copied into the library");
}

void Delete(CliContext& ctx, const std::vector<unsigned>& numbers) {
  auto card = OpenLoaded(ctx, true);
  if (!card) return;
  std::vector<std::size_t> selected;
  if (!CardIndexes(ctx, ctx.session(), numbers, selected)) return;
  ErrorWatch watch(ctx);
  if (CardDeleteCommand(card->cat(), selected) != 1) {
    ctx.Fail("nothing was deleted");
    return;
  }
  watch.Finish("not every song file could be deleted");
}

void Free(CliContext& ctx) {
  auto card = Open(ctx);
  if (!card) return;
  Session& s = ctx.session();
  if (CardFileSystem* mounted = card->service->fileSystem()) {
    CardFileSystem& fs = *mounted;
    const long kbytes =
        static_cast<long>(fs.FreeClusters()) * static_cast<long>(fs.geometry().SecPerClust) / 2;
    std::printf("Size=%ldMB Disponibile:%ldKB\n", static_cast<long>(fs.geometry().SizeMB), kbytes);
    return;
  }
  const long long free = s.CardDriveFreeBytes();
  if (free < 0) {
    std::printf("%s\n", Out(s.Text(114)).c_str());
    ctx.Fail("the card's free space cannot be read");
    return;
  }
  std::printf("%s\n", Out(FormatText(s.Text(115), static_cast<double>(free / 1024) * (1.0 / 1024))).c_str());
}

void Check(CliContext& ctx) {
  auto card = Open(ctx, true);
  if (!card) return;
  ErrorWatch watch(ctx);
  const int checked = card->service->Check();
  if (checked < 0) {
    ctx.Fail("the card cannot be reached");
    return;
  }
  const bool complete = checked == 1;
  if (!complete) std::printf("missing catalogue pieces created\n");
  watch.Finish("not every missing piece could be created");
  if (ctx.exitCode != 0) return;
  // Complete is not enough: the index must also name the songs the folders hold (the load says so).
  ErrorWatch agreement(ctx);
  if (card->service->Load() != 1) {
    ctx.Fail("the card's catalogue cannot be read");
    return;
  }
  agreement.Finish("the catalogue does not match the song folders; `card recover` rebuilds it");
  if (complete && ctx.exitCode == 0) std::printf("catalogue complete\n");
}

void Recover(CliContext& ctx) {
  auto card = Open(ctx, true);
  if (!card) return;
  ErrorWatch watch(ctx);
  if (RecoverCommand(card->cat()) != 1) {
    ctx.Fail("the catalogue was not rebuilt");
    return;
  }
  std::printf("%zu songs\n", ctx.session().card.size());
  watch.Finish("the catalogue was rebuilt with errors");
}

// --- playlist --------------------------------------------------------------------------------

// The slot of playlist N as `playlist list` numbers them (from 1).
bool Slot(CliContext& ctx, Catalogue& cat, int n, int& slot) {
  if (n < 1 || n > static_cast<int>(cat.playlists.usedCount)) {
    ctx.Fail(Format("no playlist %d on the card", n));
    return false;
  }
  slot = n - 1;
  return true;
}

std::unique_ptr<OpenCard> OpenPlaylists(CliContext& ctx, bool writes = false) {
  auto card = OpenLoaded(ctx, writes);
  if (!card) return nullptr;
  ReadPlaylistIndex(card->cat());
  return card;
}

// Loads playlist N for editing.
bool Edit(CliContext& ctx, OpenCard& card, int n, PlaylistEdit& edit) {
  int slot = 0;
  if (!Slot(ctx, card.cat(), n, slot)) return false;
  if (LoadPlaylist(card.cat(), card.cat().playlists.slots[static_cast<std::size_t>(slot)].baseName, edit) !=
      1) {
    ctx.Fail("the playlist cannot be read");
    return false;
  }
  return true;
}

void PlaylistList(CliContext& ctx) {
  auto card = OpenPlaylists(ctx);
  if (!card) return;
  const PlaylistTable& t = card->cat().playlists;
  for (std::size_t i = 0; i < t.usedCount; ++i) {
    const PlaylistSlot& slot = t.slots[i];
    std::printf("%zu\t%s\t%d\t%s\n", i + 1, Out(slot.baseName).c_str(), std::max(slot.songCount, 0),
                Out(slot.displayName).c_str());
  }
}

void PlaylistShow(CliContext& ctx, int n) {
  auto card = OpenPlaylists(ctx);
  if (!card) return;
  PlaylistEdit edit;
  if (!Edit(ctx, *card, n, edit)) return;
  for (std::size_t i = 0; i < edit.songs.size(); ++i) {
    std::printf("%zu\t", i);
    PrintSong(edit.songs[i]);
  }
}

void PlaylistNew(CliContext& ctx) {
  auto card = OpenPlaylists(ctx, true);
  if (!card) return;
  const int slot = NewPlaylist(card->cat());
  if (slot < 0) {
    ctx.Fail("no playlist was created");
    return;
  }
  const PlaylistSlot& s = card->cat().playlists.slots[static_cast<std::size_t>(slot)];
  std::printf("%d\t%s\t0\t%s\n", slot + 1, Out(s.baseName).c_str(), Out(s.displayName).c_str());
}

void PlaylistRename(CliContext& ctx, int n, const std::string& name) {
  auto card = OpenPlaylists(ctx, true);
  int slot = 0;
  if (!card || !Slot(ctx, card->cat(), n, slot)) return;
  if (name.empty()) {
    ctx.Usage("playlist rename: the new name is empty");
    return;
  }
  if (RenamePlaylist(card->cat(), slot, Utf8ToCp1252(name)) != 1) ctx.Fail("the playlist was not renamed");
}

void PlaylistDelete(CliContext& ctx, int n) {
  auto card = OpenPlaylists(ctx, true);
  int slot = 0;
  if (!card || !Slot(ctx, card->cat(), n, slot)) return;
  if (DeletePlaylist(card->cat(), slot) != 1) ctx.Fail("the playlist was not deleted");
}

void PlaylistAdd(CliContext& ctx, int n, const std::vector<unsigned>& numbers, long at) {
  auto card = OpenPlaylists(ctx, true);
  if (!card) return;
  PlaylistEdit edit;
  if (!Edit(ctx, *card, n, edit)) return;
  std::vector<std::size_t> songs;
  if (!CardIndexes(ctx, ctx.session(), numbers, songs)) return;
  const std::size_t position = at < 0 ? edit.songs.size() : static_cast<std::size_t>(at);
  if (AddSongsToPlaylist(card->cat(), edit, songs, position) != 1) ctx.Fail("nothing was added");
}

bool Rows(CliContext& ctx, const PlaylistEdit& edit, const std::vector<std::size_t>& rows) {
  for (std::size_t r : rows) {
    if (r >= edit.songs.size()) {
      ctx.Fail(Format("the playlist has no song at index %zu", r));
      return false;
    }
  }
  return true;
}

void PlaylistMove(CliContext& ctx, int n, std::size_t position, const std::vector<std::size_t>& rows) {
  auto card = OpenPlaylists(ctx, true);
  if (!card) return;
  PlaylistEdit edit;
  if (!Edit(ctx, *card, n, edit) || !Rows(ctx, edit, rows)) return;
  if (MovePlaylistSongs(card->cat(), edit, rows, position) != 1) ctx.Fail("nothing was moved");
}

void PlaylistRemove(CliContext& ctx, int n, const std::vector<std::size_t>& rows) {
  auto card = OpenPlaylists(ctx, true);
  if (!card) return;
  PlaylistEdit edit;
  if (!Edit(ctx, *card, n, edit) || !Rows(ctx, edit, rows)) return;
  if (DeletePlaylistSongs(card->cat(), edit, rows) != 1) ctx.Fail("nothing was removed");
}

// --- options ---------------------------------------------------------------------------------

void OptionsShow(CliContext& ctx) {
  auto card = Open(ctx);
  if (!card) return;
  Session& s = ctx.session();
  if (ReadPlayerOptions(card->cat()) != 1) {
    ctx.Fail("the card has no readable SETUP.DAT");
    return;
  }
  const bool roll = s.settings().enableRoll != 0;
  for (const PlayerSetting& setting : PlayerSettings()) {
    const std::string value = PlayerOptionText(card->cat().options, setting, s.messages(), roll);
    std::printf(
        "%s: %s\n", Out(s.Text(setting.labelMessage)).c_str(),
        value.empty() ? Format("(%u)", card->cat().options.bytes[setting.byte]).c_str() : Out(value).c_str());
  }
}

void OptionsSet(CliContext& ctx, const std::string& name, const std::string& value) {
  auto card = Open(ctx, true);
  if (!card) return;
  Session& s = ctx.session();
  if (ReadPlayerOptions(card->cat()) != 1) {
    ctx.Fail("the card has no readable SETUP.DAT");
    return;
  }
  std::string error;
  if (!SetPlayerOption(card->cat().options, s.messages(), s.settings().enableRoll != 0, Utf8ToCp1252(name),
                       Utf8ToCp1252(value), error)) {
    ctx.Usage(Out(error));
    return;
  }
  if (WritePlayerOptions(card->cat()) != 1) ctx.Fail("SETUP.DAT was not written");
}

}  // namespace

void RegisterCardCommands(CLI::App& app, CliContext& ctx) {
  CLI::App* card = GetOrAddSubcommand(app, "card", "the songs and catalogue on the card");

  card->add_subcommand("list", "one song a line: song number, title, performer, category")->callback([&ctx] {
    List(ctx);
  });

  auto* to = card->add_subcommand("to", "copy library songs to the card");
  auto toFiles = std::make_shared<std::vector<std::string>>();
  auto toAll = std::make_shared<bool>(false);
  to->add_option("FILE", *toFiles, "library songs (paths, or names in the library folder)");
  to->add_flag("--all", *toAll, "every song of the library");
  to->callback([&ctx, toFiles, toAll] { To(ctx, *toFiles, *toAll); });

  auto* from = card->add_subcommand("from", "copy card songs into the library");
  auto fromNumbers = std::make_shared<std::vector<unsigned>>();
  from->add_option("NUMBER", *fromNumbers, "song numbers")->required();
  from->callback([&ctx, fromNumbers] { From(ctx, *fromNumbers); });

  auto* del = card->add_subcommand("delete", "delete songs from the card (asks first; --yes to confirm)");
  auto delNumbers = std::make_shared<std::vector<unsigned>>();
  del->add_option("NUMBER", *delNumbers, "song numbers")->required();
  del->callback([&ctx, delNumbers] { Delete(ctx, *delNumbers); });

  card->add_subcommand("free", "the card's free space as the status bar shows it")->callback([&ctx] {
    Free(ctx);
  });
  card->add_subcommand("check", "create the catalogue pieces the card lacks")->callback([&ctx] {
    Check(ctx);
  });
  card->add_subcommand("recover", "rebuild the catalogue from the songs in the card's folders (asks first)")
      ->callback([&ctx] { Recover(ctx); });

  CLI::App* pl =
      app.add_subcommand("playlist", "the card's 16 playlists (N counts from 1 as `playlist list` shows)");
  pl->require_subcommand(1);
  pl->add_subcommand("list", "one playlist a line: N, file, songs, name")->callback([&ctx] {
    PlaylistList(ctx);
  });

  auto n = std::make_shared<int>(0);
  auto* show = pl->add_subcommand(
      "show", "the songs of playlist N: index (from 0), number, title, performer, category");
  show->add_option("N", *n)->required();
  show->callback([&ctx, n] { PlaylistShow(ctx, *n); });

  pl->add_subcommand("new", "a new playlist \"New Playlist\"")->callback([&ctx] {
    Writing(ctx, "the playlists were not all written", [&] { PlaylistNew(ctx); });
  });

  auto name = std::make_shared<std::string>();
  auto* rename = pl->add_subcommand("rename", "give playlist N a new name (23 characters at most)");
  rename->add_option("N", *n)->required();
  rename->add_option("NAME", *name)->required();
  rename->callback([&ctx, n, name] {
    Writing(ctx, "the playlists were not all written", [&] { PlaylistRename(ctx, *n, *name); });
  });

  auto* pdel = pl->add_subcommand("delete", "delete playlist N (asks first; --yes to confirm)");
  pdel->add_option("N", *n)->required();
  pdel->callback([&ctx, n] { Writing(ctx, "the playlists were not all written", [&] { PlaylistDelete(ctx, *n); }); });

  auto numbers = std::make_shared<std::vector<unsigned>>();
  auto at = std::make_shared<long>(-1);
  auto* add = pl->add_subcommand("add", "add card songs to playlist N, at the end or at --at POS (from 0)");
  add->add_option("N", *n)->required();
  add->add_option("NUMBER", *numbers, "song numbers")->required();
  add->add_option("--at", *at, "the position of the first added song")->check(CLI::NonNegativeNumber);
  add->callback([&ctx, n, numbers, at] {
    Writing(ctx, "the playlist was not written", [&] { PlaylistAdd(ctx, *n, *numbers, *at); });
  });

  auto position = std::make_shared<std::size_t>(0);
  auto rows = std::make_shared<std::vector<std::size_t>>();
  auto* move =
      pl->add_subcommand("move", "move the songs at INDEX... of playlist N to position POS (from 0)");
  move->add_option("N", *n)->required();
  move->add_option("POS", *position)->required();
  move->add_option("INDEX", *rows)->required();
  move->callback([&ctx, n, position, rows] {
    Writing(ctx, "the playlist was not written", [&] { PlaylistMove(ctx, *n, *position, *rows); });
  });

  auto* remove = pl->add_subcommand("remove", "remove the songs at INDEX... from playlist N (asks first)");
  remove->add_option("N", *n)->required();
  remove->add_option("INDEX", *rows)->required();
  remove->callback([&ctx, n, rows] {
    Writing(ctx, "the playlist was not written", [&] { PlaylistRemove(ctx, *n, *rows); });
  });

  CLI::App* opt = app.add_subcommand("options", "the player options of SETUP.DAT");
  opt->require_subcommand(1);
  opt->add_subcommand("show", "each setting: label and value")->callback([&ctx] { OptionsShow(ctx); });
  auto optName = std::make_shared<std::string>();
  auto optValue = std::make_shared<std::string>();
  auto* set = opt->add_subcommand("set", "set one setting by its label and value text (\"Echo\" \"SHORT\")");
  set->add_option("NAME", *optName)->required();
  set->add_option("VALUE", *optValue)->required();
  set->callback([&ctx, optName, optValue] {
    Writing(ctx, "SETUP.DAT was not written", [&] { OptionsSet(ctx, *optName, *optValue); });
  });
}

}  // namespace sondesk

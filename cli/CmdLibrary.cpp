// library list | import | import-folder | delete | info | edit | search, export: the song library
// on the PC and its text export.

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "catalogue/CardCatalogue.h"
#include "catalogue/CardService.h"
#include "cli/CliContext.h"
#include "library/LibraryStore.h"
#include "library/SongImport.h"
#include "library/SongInfo.h"
#include "library/SongSearch.h"
#include "library/TextExport.h"
#include "messages/Cp1252.h"
#include "midi/PlayerCharset.h"
#include "pdf/SongbookPdf.h"

namespace sondesk {

namespace {

// Song texts hold Windows-1252 and, in converted titles, the player's letter codes.
std::string ShownText(std::string text) {
  FromPlayerCharset(text);
  return Cp1252ToUtf8(text);
}

// A path as the shell gave it, made absolute so that the library's folder does not change its meaning.
std::string Absolute(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// The session with its library and program folders made absolute for this run, so that the
// paths the library lists and exports name the files wherever they are read.
Session& LibrarySession(CliContext& ctx) {
  Session& s = ctx.session();
  if (!s.libraryDir().empty() && s.libraryDir().front() != '/') s.SetLibraryDir(Absolute(s.libraryDir()));
  if (!s.programDir().empty() && s.programDir().front() != '/') s.SetProgramDir(Absolute(s.programDir()));
  return s;
}

// A song file named on the command line: the path as given, or a name in the library folder.
std::string SongPath(Session& session, const std::string& arg) {
  if (IsFile(arg) || arg.find('/') != std::string::npos) return Absolute(arg);
  const std::string inLibrary = JoinPath(session.libraryDir(), arg);
  return IsFile(inLibrary) ? inLibrary : Absolute(arg);
}

// The card of one command, only as far as its list is needed.
struct CardForList {
  std::unique_ptr<CardService> service;
};

// Fills the session's card list from the card named by --card, --port or --image.
bool LoadCardList(CliContext& ctx, CardForList& card) {
  card.service = ctx.OpenCard();
  if (!card.service) return false;
  if (card.service->Load() != 1) {
    ctx.Fail("the card's catalogue cannot be read");
    return false;
  }
  return true;
}

// A text in printable ASCII reads the same in every charset involved; only others are converted.
void AppendOut(std::string& line, std::string_view text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
  if (plain) {
    line += text;
  } else {
    line += ShownText(std::string(text));
  }
}

// One line a song, built in a buffer kept from song to song: a list of 16,384 songs is printed
// without a format to parse or a string to allocate for each.
void PrintLibrarySong(const SongEntry& e) {
  static std::string line;
  line = std::to_string(e.listIndex);
  line += '\t';
  line += e.path;
  for (const SongText* text : {&e.title, &e.performer, &e.category}) {
    line += '\t';
    AppendOut(line, *text);
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
}

void PrintInfo(const SongInfo& info) {
  const Mf3Texts t = info.texts();
  std::printf("file: %s\n", info.path.c_str());
  std::printf("fileName: %s\n", info.fileName().c_str());
  std::printf("title: %s\n", ShownText(t.title).c_str());
  std::printf("performer: %s\n", ShownText(t.performer).c_str());
  std::printf("category: %s\n", ShownText(t.genre).c_str());
  std::printf("publisher: %s\n", ShownText(t.publisher).c_str());
  std::printf("author: %s\n", ShownText(t.author).c_str());
  std::printf("copyright: %s\n", ShownText(t.copyright).c_str());
}

void EndImport(CliContext& ctx, const ImportResult& r) {
  if (r.imported < r.chosen) {
    ctx.Fail(std::to_string(r.chosen - r.imported) + " of " + std::to_string(r.chosen) +
             " files could not be imported");
  }
}

struct LibraryArgs {
  std::vector<std::string> files;
  std::string file, dir, text, out;
  std::optional<std::string> title, performer, category, publisher, author;
  bool onTitle = false, onPerformer = false, onCategory = false, onPc = false, onCard = false;
  std::string list;  // "" means each export's own default: library for text, card for the songbook
  std::string songbook;
};

}  // namespace

void RegisterLibraryCommands(CLI::App& app, CliContext& ctx) {
  auto args = std::make_shared<LibraryArgs>();
  CLI::App* library = GetOrAddSubcommand(app, "library", "the song library on the PC");

  library->add_subcommand("list", "one song a line: index, path, title, performer, category")
      ->callback([&ctx] {
        Session& s = LibrarySession(ctx);
        ReadLibrary(s);
        for (const SongEntry& e : s.library) PrintLibrarySong(e);
      });

  auto* import = library->add_subcommand("import", "import songs (MIDI, KAR, MF3) into the library");
  import->add_option("FILE", args->files, "song files")->required();
  import->callback([&ctx, args] {
    std::vector<std::string> files;
    if (!ctx.LockLibrary()) return;
  for (const auto& f : args->files) files.push_back(Absolute(f));
  EndImport(ctx, ImportFromPc(LibrarySession(ctx), files));
});

auto* folder =
    library->add_subcommand("import-folder", "every .mid, .kar and .mf3 of DIR, as the floppy import");
folder->add_option("DIR", args->dir, "the floppy or removable folder")->required();
folder->callback([&ctx, args] {
  if (!ctx.LockLibrary()) return;
  const ImportResult r = ImportFromFloppy(LibrarySession(ctx), Absolute(args->dir));
  if (!r.started) return ctx.Fail("nothing imported");
  EndImport(ctx, r);
});

auto* del = library->add_subcommand("delete", "delete library songs");
del->add_option("FILE", args->files, "library songs: paths, or names in the library folder")->required();
del->callback([&ctx, args] {
  if (!ctx.LockLibrary()) return;
  Session& s = LibrarySession(ctx);
  ReadLibrary(s);
  std::vector<std::size_t> entries;
  for (const auto& f : args->files) {
    const long i = FindLibraryEntry(s, f.find('/') == std::string::npos ? f : Absolute(f));
    if (i < 0) return ctx.Fail("not a song of the library: " + f);
    entries.push_back(static_cast<std::size_t>(i));
  }
  const int before = ctx.ui.errorsShown;
  if (!DeleteLibrarySongs(s, entries)) return ctx.Fail("nothing deleted");
  ReadLibrary(s);
  if (ctx.ui.errorsShown > before) ctx.Fail("some songs could not be deleted");
});

auto* info = library->add_subcommand("info", "the song information of an MF3 file");
info->add_option("FILE", args->file)->required();
info->callback([&ctx, args] {
  Session& s = LibrarySession(ctx);
  SongInfo song;
  if (ReadSongInfo(s, SongPath(s, args->file), song) != 0) {
    return ctx.Fail("cannot read " + args->file);
  }
  PrintInfo(song);
});

auto* edit = library->add_subcommand("edit", "change the song information of an MF3 file");
edit->add_option("FILE", args->file)->required();
edit->add_option("--title", args->title);
edit->add_option("--performer", args->performer);
edit->add_option("--category", args->category);
edit->add_option("--publisher", args->publisher);
edit->add_option("--author", args->author);
edit->callback([&ctx, args] {
  if (!ctx.LockLibrary()) return;
  Session& s = LibrarySession(ctx);
  SongInfo song;
  if (ReadSongInfo(s, SongPath(s, args->file), song) != 0) return ctx.Fail("cannot read " + args->file);
  SongInfoEdit e = SongInfoEdit::From(song);
  if (args->title) e.title = Utf8ToCp1252(*args->title);
  if (args->performer) e.performer = Utf8ToCp1252(*args->performer);
  if (args->category) e.category = Utf8ToCp1252(*args->category);
  if (args->publisher) e.publisher = Utf8ToCp1252(*args->publisher);
  if (args->author) e.author = Utf8ToCp1252(*args->author);
  switch (SaveSongInfo(s, song, e)) {
    case SongInfoResult::Saved:
      PrintInfo(song);
      return;
    case SongInfoResult::StayOpen:
      return ctx.Fail("the name was not confirmed: nothing written");
    case SongInfoResult::Failed:
      return ctx.Fail("cannot write " + song.path);
  }
});

auto* search = library->add_subcommand(
    "search", "select every song whose texts contain TEXT (all texts and the library when none is named)");
search->add_option("TEXT", args->text)->required();
search->add_flag("--title", args->onTitle);
search->add_flag("--performer", args->onPerformer);
search->add_flag("--category", args->onCategory);
search->add_flag("--pc", args->onPc);
search->add_flag("--card", args->onCard, "the card's list as well (with --card DIR, --port or --image)");
search->callback([&ctx, args] {
  Session& s = LibrarySession(ctx);
  SearchState state;
  const bool anyText = args->onTitle || args->onPerformer || args->onCategory;
  state.title = args->onTitle || !anyText;
  state.performer = args->onPerformer || !anyText;
  state.category = args->onCategory || !anyText;
  state.pc = args->onPc || !args->onCard;
  state.card = args->onCard;
  // `search --card` names the list; the card itself comes from the global --card DIR.
  CardForList card;
  if (state.card && !LoadCardList(ctx, card)) return;
  if (state.pc) ReadLibrary(s);
  MarkedSongList pc(s.library), cardList(s.card);
  const std::string text = Utf8ToCp1252(args->text);
  if (SearchSelectAll(s, state, text, pc, cardList) == 0) return ctx.Fail(Cp1252ToUtf8(s.Text(100)));
  for (const std::size_t i : pc.SelectedItems()) {
    std::printf("pc\t");
    PrintLibrarySong(s.library[i]);
  }
  for (const std::size_t i : cardList.SelectedItems()) {
    const SongEntry& e = s.card[i];
    std::printf("card\t%u\t%s\t%s\t%s\n", static_cast<unsigned>(e.songNumber()), ShownText(e.title).c_str(),
                ShownText(e.performer).c_str(), ShownText(e.category).c_str());
  }
});

auto* exportCmd = app.add_subcommand("export", "the semicolon-separated text export of a song list, or a songbook PDF");
exportCmd->add_option("OUT", args->out, "the text file (DATABASE.TXT)");
exportCmd->add_option("--songbook", args->songbook, "write a songbook PDF (by title, then by performer) to this file");
exportCmd->add_option("--list", args->list, "library or card (text: library by default; songbook: card)")
    ->check(CLI::IsMember({"library", "card"}));
exportCmd->callback([&ctx, args] {
  Session& s = LibrarySession(ctx);
  if (args->songbook.empty() == args->out.empty()) {
    return ctx.Usage("export: give either OUT (the text export) or --songbook OUT.pdf");
  }
  CardForList card;
  const bool ofCard = args->list.empty() ? !args->songbook.empty() : args->list == "card";
  if (ofCard) {
    if (!LoadCardList(ctx, card)) return;
  } else {
    ReadLibrary(s);
  }
  if (!args->songbook.empty()) {
    std::string why;
    if (!ExportSongbook(s, Absolute(args->songbook), ofCard, why)) ctx.Fail(why);
    return;
  }
  if (ExportSongList(s, Absolute(args->out), ofCard ? ExportList::Card : ExportList::Library) != 0) {
    ctx.Fail("cannot write " + args->out);
  }
});
}  // namespace sondesk

}  // namespace sondesk

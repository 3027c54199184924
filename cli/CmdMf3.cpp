#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string_view>
#include <vector>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "cli/CliContext.h"
#include "messages/Cp1252.h"
#include "midi/Lzhuf.h"
#include "midi/Mf3File.h"
#include "midi/Mf3Header.h"

namespace sondesk {

namespace {

struct Mf3Args {
  std::string in, out, name;
};

void PrintHeader(const Mf3Header& h) {
  std::cout << "magic: " << std::string(h.magic.data(), h.magic.size()) << "\n"
            << "fileSize: " << h.fileSize << "\n"
            << "midiSize: " << h.midiSize << "\n"
            << "fileName: " << Cp1252ToUtf8(h.FileNameText()) << "\n";
  const Mf3Texts t = h.Texts();
  std::cout << "copyright: " << Cp1252ToUtf8(t.copyright) << "\n"
            << "title: " << Cp1252ToUtf8(t.title) << "\n"
            << "publisher: " << Cp1252ToUtf8(t.publisher) << "\n"
            << "author: " << Cp1252ToUtf8(t.author) << "\n"
            << "performer: " << Cp1252ToUtf8(t.performer) << "\n"
            << "genre: " << Cp1252ToUtf8(t.genre) << "\n"
            << "transpose: " << static_cast<int>(h.transpose) << "\n"
            << "tempoOffset: " << h.tempoOffset << "\n";
}

void AddInOut(CLI::App* cmd, Mf3Args& a, const char* inName, const char* outName) {
  cmd->add_option(inName, a.in)->required();
  cmd->add_option(outName, a.out)->required();
}

}  // namespace

int RunBareLzhufCommand(int argc, char** argv) {
  if (argc != 5 || std::string_view(argv[1]) != "lzhuf") return -1;
  const std::string_view mode = argv[2];
  if (mode != "compress" && mode != "decompress") return -1;
  std::vector<std::uint8_t> in, out;
  if (!ReadWholeFile(argv[3], in)) return -1;
  const LzhufStatus s = mode == "compress" ? LzhufCompress(in, out) : LzhufDecompress(in, out);
  if (s != LzhufStatus::Ok || !WriteFileReplacing(argv[4], out)) return -1;
  return 0;
}

void RegisterMf3Commands(CLI::App& app, CliContext& ctx) {
  auto args = std::make_shared<Mf3Args>();

  CLI::App* mf3 = GetOrAddSubcommand(app, "mf3", "MF3 song files: header and compressed payload");

  auto* info = mf3->add_subcommand("info", "the header fields, one `field: value` a line");
  info->add_option("FILE", args->in)->required();
  info->callback([&ctx, args] {
    Mf3Header h;
    Mf3HeaderStatus status = Mf3HeaderStatus::Ok;
    if (ReadMf3Header(ctx.session(), args->in, h, &status) != 0) {
      return ctx.Fail(args->in + ": " + Mf3HeaderStatusText(status));
    }
    PrintHeader(h);
  });

  auto* pack = mf3->add_subcommand("pack", "compress a plain payload file into an MF3 file");
  AddInOut(pack, *args, "PAYLOAD", "OUT");
  pack->add_option("--name", args->name, "the song's name as shown to the user (default: OUT's file name)");
  pack->callback([&ctx, args] {
    Mf3Header h = Mf3Header::Fresh();
    const std::string name = args->name.empty() ? BaseName(args->out) : Utf8ToCp1252(args->name);
    Mf3Status status = Mf3Status::Ok;
    if (WriteMf3(ctx.session(), args->in, args->out, name, h, &status) != 0) {
      return ctx.Fail((status == Mf3Status::CannotOpen ? args->in : args->out) + ": " +
                      Mf3StatusText(status));
    }
  });

  auto* unpack = mf3->add_subcommand("unpack", "decompress an MF3 file's payload");
  AddInOut(unpack, *args, "FILE", "OUT");
  unpack->callback([&ctx, args] {
    Mf3Header h;
    Mf3Status status = Mf3Status::Ok;
    if (DecodeMf3(ctx.session(), args->in, args->out, h, &status) != 0) {
      return ctx.Fail(args->in + ": " + Mf3StatusText(status));
    }
  });

  CLI::App* lzhuf = GetOrAddSubcommand(app, "lzhuf", "the bare LZHUF stream: 4-byte size, then the bits");

  auto* compress = lzhuf->add_subcommand("compress", "compress IN into the stream OUT");
  AddInOut(compress, *args, "IN", "OUT");
  // The bare stream commands make no session unless they fail: a settings file and a message table
  // are not needed to code a file, and starting without them keeps one call per file cheap. Their
  // outputs are whole or absent, but not synced: they are made again by running the command again.
  compress->callback([&ctx, args] {
    std::vector<std::uint8_t> input;
    if (!ReadWholeFile(args->in, input)) {
      ctx.session().ShowOpenError(args->in);
      return ctx.Fail(args->in + ": cannot be read");
    }
    std::vector<std::uint8_t> stream;
    if (LzhufCompress(input, stream) != LzhufStatus::Ok) {
      return ctx.Fail(args->in + ": " + LzhufStatusText(LzhufStatus::TooLarge));
    }
    if (!WriteFileReplacing(args->out, stream)) {
      ctx.session().ShowCreateError(args->out);
      return ctx.Fail(args->out + ": cannot be written");
    }
  });

  auto* decompress = lzhuf->add_subcommand("decompress", "decompress the stream IN into OUT");
  AddInOut(decompress, *args, "IN", "OUT");
  decompress->callback([&ctx, args] {
    std::vector<std::uint8_t> stream;
    if (!ReadWholeFile(args->in, stream)) {
      ctx.session().ShowOpenError(args->in);
      return ctx.Fail(args->in + ": cannot be read");
    }
    std::vector<std::uint8_t> output;
    const LzhufStatus s = LzhufDecompress(stream, output);
    if (s != LzhufStatus::Ok) {
      // Nothing is written: half a payload would pass for a song.
      ctx.session().ShowOpenError(args->in);
      return ctx.Fail(args->in + ": " + LzhufStatusText(s));
    }
    if (!WriteFileReplacing(args->out, output)) {
      ctx.session().ShowCreateError(args->out);
      return ctx.Fail(args->out + ": cannot be written");
    }
  });
}

}  // namespace sondesk

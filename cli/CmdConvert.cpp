#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "app/Paths.h"
#include "cli/CliContext.h"
#include "messages/Cp1252.h"
#include "midi/Mf3File.h"
#include "midi/MidiToPayload.h"

namespace sondesk {

namespace {

struct ConvertArgs {
  std::string source, out;
  bool payload = false;
};

void PrintTexts(const MidiConversion& conv) {
  std::cout << "title: " << Cp1252ToUtf8(conv.Title()) << "\n"
            << "author: " << Cp1252ToUtf8(conv.Author()) << "\n"
            << "publisher: " << Cp1252ToUtf8(conv.Publisher()) << "\n"
            << "copyright: " << Cp1252ToUtf8(conv.Copyright()) << "\n"
            << "rewritten: " << (conv.rewritten ? "yes" : "no") << "\n";
}

// One song, as the import converts it, but without the library and the catalogue: the header
// gets the texts the conversion itself found.
void ConvertToMf3(CliContext& ctx, const ConvertArgs& a) {
  Session& session = ctx.session();
  MidiConversion conv;
  const std::string payload = JoinPath(session.workDir(), "TEMP.MID");
  if (ConvertMidiToPayload(session, a.source, payload, conv) != 0) {
    return ctx.Fail(a.source + ": no payload was written; " + a.out + " left as it was");
  }
  Mf3Status status = Mf3Status::Ok;
  const int rc = WriteMf3(session, payload, a.out, BaseName(a.out), conv.header, &status);
  std::remove(payload.c_str());
  if (rc != 0) return ctx.Fail(Mf3StatusText(status));

  Mf3Texts texts = conv.header.Texts();
  texts.title = conv.Title();
  texts.copyright = conv.Copyright();
  if (!conv.Publisher().empty()) texts.publisher = conv.Publisher();
  if (!conv.Author().empty()) texts.author = conv.Author();
  Mf3HeaderStatus hs = Mf3HeaderStatus::Ok;
  if (UpdateMf3HeaderTexts(session, a.out, texts, &hs) != 0) return ctx.Fail(Mf3HeaderStatusText(hs));
  PrintTexts(conv);
}

void ConvertToPayload(CliContext& ctx, const ConvertArgs& a) {
  MidiConversion conv;
  if (ConvertMidiToPayload(ctx.session(), a.source, a.out, conv) != 0) {
    return ctx.Fail(a.source + ": no payload was written; " + a.out + " left as it was");
  }
  PrintTexts(conv);
}

}  // namespace

void RegisterConvertCommands(CLI::App& app, CliContext& ctx) {
  auto args = std::make_shared<ConvertArgs>();
  auto* convert =
      app.add_subcommand("convert", "convert one .MID/.KAR into an MF3 song (no library, no catalogue)");
  convert->add_flag("--payload", args->payload,
                    "write the plain payload (a standard MIDI file) instead of an MF3");
  convert->add_option("SRC", args->source, "the MIDI or karaoke file")->required();
  convert->add_option("OUT", args->out, "the MF3 song (or, with --payload, the payload file)")->required();
  convert->callback([&ctx, args] {
    if (args->payload) {
      ConvertToPayload(ctx, *args);
    } else {
      ConvertToMf3(ctx, *args);
    }
  });
}

}  // namespace sondesk

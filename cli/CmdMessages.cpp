#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "cli/CliContext.h"
#include "messages/Cp1252.h"

namespace sondesk {

void RegisterMessageCommands(CLI::App& app, CliContext& ctx) {
  auto* messages = app.add_subcommand("messages", "the program's texts by number");
  messages->require_subcommand(1);
  auto* show = messages->add_subcommand("show", "the text of message N in the chosen language");
  auto number = std::make_shared<int>(0);
  show->add_option("N", *number, "message number")->required();
  show->callback([&ctx, number] {
    // No session needed: the language comes from --lang, else from the settings file.
    int language = ctx.options.lang;
    if (language < 0) language = ctx.session().settings().language;
    const MessageTable table(language);
    std::cout << Cp1252ToUtf8(table.Get(*number)) << "\n";
  });
}

}  // namespace sondesk

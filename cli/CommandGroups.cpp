// Which command groups a run builds. Building every subcommand with its options took a third of a
// short command's processor time, and a run uses one group: the group named on the command line is
// built alone, everything when none is named, when help is asked for before it, or when an option
// before it is not one of ours (so that help and errors read as they always have).

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cli/CliContext.h"

namespace sondesk {

namespace {

using Registrar = void (*)(CLI::App&, CliContext&);

// Every registrar in the order the full command line is built, with the top-level groups it adds to.
struct GroupRegistrar {
  Registrar add;
  const char* groups[3];
};

const GroupRegistrar kRegistrars[] = {
    {RegisterMessageCommands, {"messages"}},
    {RegisterSettingsCommands, {"settings"}},
    {RegisterMf3Commands, {"mf3", "lzhuf"}},
    {RegisterConvertCommands, {"convert"}},
    {RegisterLibraryCommands, {"library", "export"}},
    {RegisterCardCommands, {"card", "playlist", "options"}},
    {RegisterFsCommands, {"fs"}},
    {RegisterPlayerCommands, {"render", "play"}},
    {RegisterLyricsCommands, {"lyrics"}},
    {RegisterVirtualCommands, {"virtual"}},
    {RegisterCardFsCommands, {"card"}},
    {RegisterFirmwareCommands, {"firmware", "virtual"}},
};

bool AddsTo(const GroupRegistrar& r, const std::string& group) {
  for (const char* g : r.groups) {
    if (g != nullptr && group == g) return true;
  }
  return false;
}

enum class Wanted { All, None, One };

// The group named by the first word that is neither an option of `app` nor an option's value.
Wanted FindGroup(CLI::App& app, int argc, char** argv, std::string& group) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.size() < 2 || arg[0] != '-') {
      group = arg;
      return Wanted::One;
    }
    if (arg == "--") return Wanted::All;
    const std::size_t eq = arg.find('=');
    const CLI::Option* opt = app.get_option_no_throw(arg.substr(0, eq));
    if (opt == nullptr || opt == app.get_help_ptr() || opt == app.get_help_all_ptr()) return Wanted::All;
    if (opt == app.get_version_ptr()) return Wanted::None;
    if (eq == std::string::npos && opt->get_items_expected_max() > 0) ++i;  // its value is the next word
  }
  return Wanted::All;
}

}  // namespace

void RegisterCommandGroups(CLI::App& app, CliContext& ctx, int argc, char** argv) {
  std::string group;
  Wanted wanted = FindGroup(app, argc, argv, group);
  // The tests build everything this way and compare each group's help with the group built alone.
  if (const char* all = std::getenv("SONDESK_CLI_ALL_COMMANDS"); all != nullptr && std::strcmp(all, "1") == 0)
    wanted = Wanted::All;
  if (wanted == Wanted::One) {
    bool known = false;
    for (const GroupRegistrar& r : kRegistrars) known = known || AddsTo(r, group);
    if (!known) wanted = Wanted::All;  // an unknown command: CLI11 names the ones there are
  }
  if (wanted == Wanted::None) return;
  for (const GroupRegistrar& r : kRegistrars) {
    if (wanted == Wanted::All || AddsTo(r, group)) r.add(app, ctx);
  }
}

}  // namespace sondesk

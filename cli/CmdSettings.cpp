#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "app/ProfileFile.h"
#include "cli/CliContext.h"

namespace sondesk {

void RegisterSettingsCommands(CLI::App& app, CliContext& ctx) {
  auto* settings = app.add_subcommand("settings", "the keys of Sondesk.INI");
  settings->require_subcommand(1);

  settings->add_subcommand("list", "every key the program knows, with its value")->callback([&ctx] {
    Settings& s = ctx.session().settings();
    std::cout << "file: " << s.iniPath() << "\n";
    for (const SettingKey& k : KnownSettingKeys()) {
      std::cout << "[" << k.section << "] " << k.key << " = " << s.GetText(k.section, k.key).value_or("") << "\n";
    }
  });

  struct Args {
    std::string section, key, value;
  };
  auto args = std::make_shared<Args>();
  auto* get = settings->add_subcommand("get", "the value alone (the default when absent)");
  get->add_option("SECTION", args->section)->required();
  get->add_option("KEY", args->key)->required();
  get->callback([&ctx, args] {
    auto v = ctx.session().settings().GetText(args->section, args->key);
    if (!v) {
      // A key of another program's: show what the file holds, if anything.
      const std::string path = ctx.session().settings().iniPath();
      const std::string raw = GetPrivateProfileString(path, args->section, args->key, "\x01", 4096);
      if (raw == "\x01") return ctx.Fail("no key [" + args->section + "] " + args->key + " in " + path);
      v = raw;
    }
    std::cout << *v << "\n";
  });

  auto* set = settings->add_subcommand("set", "write a key at once");
  set->add_option("SECTION", args->section)->required();
  set->add_option("KEY", args->key)->required();
  set->add_option("VALUE", args->value)->required();
  set->callback([&ctx, args] {
    std::string error;
    if (!ctx.session().settings().SetText(args->section, args->key, args->value, error)) ctx.Fail(error);
  });
}

}  // namespace sondesk

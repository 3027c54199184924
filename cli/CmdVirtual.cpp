#include <CLI/CLI.hpp>
#include <cstdint>
#include <iostream>

#include "cli/CliContext.h"
#include "emulator/CardImage.h"
#include "emulator/IdentifyBlock.h"

namespace sondesk {

void RegisterVirtualCommands(CLI::App& app, CliContext& ctx) {
  CLI::App* group =
      GetOrAddSubcommand(app, "virtual", "the virtual player: card images for a player on no cable");

  auto* create =
      group->add_subcommand("create", "a blank card image, answered with a card's identification block");
  static std::string image;
  static std::uint32_t megabytes = 64;
  create->add_option("IMAGE", image, "the image file to make (it must not exist)")->required();
  create->add_option("--size", megabytes, "card size in MB")
      ->required()
      ->check(CLI::Range(1u, kMaxBlankCardMegabytes));
  create->callback([&ctx] {
    std::string error;
    if (!CreateBlankCardImage(image, megabytes, error)) {
      ctx.Fail(error);
      return;
    }
    const std::uint32_t sectors = megabytes * 2048u;
    const CardChs chs = CardChsFor(sectors);
    std::cout << "image: " << image << "\n"
              << "sectors: " << sectors << "\n"
              << "cylinders: " << chs.cylinders << "\n"
              << "heads: " << chs.heads << "\n"
              << "sectorsPerTrack: " << chs.sectorsPerTrack << "\n";
    ctx.exitCode = 0;
  });
}

}  // namespace sondesk

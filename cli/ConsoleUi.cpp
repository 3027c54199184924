#include "cli/ConsoleUi.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "messages/Cp1252.h"

namespace sondesk {

namespace {
std::string Utf8(const std::string& cp1252) { return Cp1252ToUtf8(cp1252); }

volatile std::sig_atomic_t interrupted = 0;
void OnInterrupt(int) { interrupted = 1; }

const char* ButtonsHint(BoxButtons b) {
  switch (b) {
    case BoxButtons::YesNo: return "[y/n]";
    case BoxButtons::YesNoCancel: return "[y/n]";
    case BoxButtons::OkCancel: return "[ok=y/cancel=n]";
    case BoxButtons::RetryCancel: return "[retry=y/cancel=n]";
    case BoxButtons::Ok: return "";
  }
  return "";
}

BoxAnswer Positive(BoxButtons b) {
  switch (b) {
    case BoxButtons::YesNo:
    case BoxButtons::YesNoCancel: return BoxAnswer::Yes;
    case BoxButtons::RetryCancel: return BoxAnswer::Retry;
    default: return BoxAnswer::Ok;
  }
}

BoxAnswer Negative(BoxButtons b) {
  switch (b) {
    case BoxButtons::YesNo:
    case BoxButtons::YesNoCancel: return BoxAnswer::No;
    default: return BoxAnswer::Cancel;
  }
}
}  // namespace

ConsoleUi::ConsoleUi() : interactive_(::isatty(0) && ::isatty(2)), tty_(::isatty(2)) {}

std::optional<bool> ConsoleUi::AskYesNo(const std::string& question) {
  if (answers == Answers::Yes) return true;
  if (answers == Answers::No) return false;
  if (!interactive_) return std::nullopt;
  for (;;) {
    std::cerr << question << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return false;
    if (line == "y" || line == "Y" || line == "yes") return true;
    if (line == "n" || line == "N" || line == "no") return false;
  }
}

BoxAnswer ConsoleUi::ShowBox(const std::string& text, const std::string& title, BoxIcon icon, BoxButtons buttons) {
  if (icon == BoxIcon::Stop || icon == BoxIcon::Warning) ++errorsShown;
  if (progressOpen_ && tty_) std::cerr << "\n";
  std::cerr << Utf8(title) << ": " << Utf8(text) << "\n";
  if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
  // --yes says Retry to the link's question only a few times: an unplugged cable would otherwise
  // keep the command retrying for ever.
  if (buttons == BoxButtons::RetryCancel && answers == Answers::Yes && ++retriesGiven_ > kRetriesByYes) {
    std::cerr << "(--yes has answered Retry " << kRetriesByYes << " times: cancelling)\n";
    return BoxAnswer::Cancel;
  }
  const auto yes = AskYesNo(std::string(ButtonsHint(buttons)) + " ");
  if (!yes) {
    std::cerr << "(no terminal to ask: taking the cautious answer; use --yes or --no)\n";
    return Negative(buttons);
  }
  // A question answered Yes is not an error of the command.
  if (icon == BoxIcon::Warning && *yes) --errorsShown;
  return *yes ? Positive(buttons) : Negative(buttons);
}

BoxAnswer ConsoleUi::AskErase(const std::string& text, const std::string& title, BoxIcon icon, BoxButtons buttons) {
  if (answers == Answers::Ask && interactive_) return ShowBox(text, title, icon, buttons);
  if (progressOpen_ && tty_) std::cerr << "\n";
  std::cerr << Utf8(title) << (title.empty() ? "" : ": ") << Utf8(text) << "\n";
  std::cerr << "(not answered in advance: the card is left as it is; `card format` formats it)\n";
  return Negative(buttons);
}

DuplicateAnswer ConsoleUi::AskDuplicate(const std::string& text) {
  if (duplicateAnswer) return *duplicateAnswer;
  std::cerr << Utf8(text) << "\n";
  if (interactive_) {
    for (;;) {
      std::cerr << "[m]odify name, modify [a]ll names, [r]eplace, replace a[l]l: " << std::flush;
      std::string line;
      if (!std::getline(std::cin, line)) break;
      if (line == "m") return DuplicateAnswer::ModifyName;
      if (line == "a") return DuplicateAnswer::ModifyAllNames;
      if (line == "r") return DuplicateAnswer::Replace;
      if (line == "l") return DuplicateAnswer::ReplaceAll;
    }
  }
  std::cerr << "(keeping the existing file and giving the new one another name; use --on-duplicate)\n";
  return DuplicateAnswer::ModifyName;
}

NameListAnswer ConsoleUi::ConfirmListName(const std::string& name, const std::vector<std::string>& candidates) {
  std::cerr << "Not in the list: \"" << Utf8(name) << "\"";
  if (!candidates.empty()) {
    std::cerr << " (similar:";
    for (const auto& c : candidates) std::cerr << " \"" << Utf8(c) << "\"";
    std::cerr << ")";
  }
  std::cerr << "\n";
  const auto yes = AskYesNo("Add it to the list? [y/n] ");
  if (!yes) {
    std::cerr << "(no terminal to ask: not adding it; use --yes)\n";
    return NameListAnswer{false, name, false};
  }
  return NameListAnswer{*yes, name, false};
}

bool ConsoleUi::ShowWarningWithCheck(const std::string& text, const std::string&, const std::string& title) {
  std::cerr << Utf8(title) << ": " << Utf8(text) << "\n";
  return true;
}

void ConsoleUi::SetStatusPane(int pane, const std::string& text) {
  if (verbose) std::cerr << "[status " << pane << "] " << Utf8(text) << "\n";
}

std::optional<std::vector<std::string>> ConsoleUi::PickOpenFiles(const std::string&, const std::string&,
                                                                  const std::string&) {
  return std::nullopt;  // the command line names its files
}

std::optional<std::string> ConsoleUi::PickSaveFile(const std::string&, const std::string&, const std::string&) {
  return std::nullopt;
}

std::optional<std::string> ConsoleUi::PickFolder(const std::string&, const std::string&) { return std::nullopt; }

void ConsoleUi::OpenExternal(const std::string& urlOrPath) { std::cout << urlOrPath << "\n"; }

void ConsoleUi::DebugLine(const std::string& text) {
  if (verbose) std::cerr << Utf8(text) << "\n";
}

void ConsoleUi::ProgressSetCancellable(bool on) {
  interrupted = 0;
  std::signal(SIGINT, on ? OnInterrupt : SIG_DFL);
}

bool ConsoleUi::ProgressCancelRequested() { return interrupted != 0; }

void ConsoleUi::ProgressOpen() {
  progressOpen_ = true;
  maximum_ = position_ = 0;
  line1_.clear();
  line2_.clear();
  lastDrawnPercent_ = 1000;
}

void ConsoleUi::ProgressClose() {
  if (progressOpen_ && !quiet && tty_) std::cerr << "\r\033[K" << std::flush;
  progressOpen_ = false;
}

void ConsoleUi::ProgressSetRange(std::uint32_t maximum) { maximum_ = maximum; }

void ConsoleUi::ProgressSetPosition(std::uint32_t position) {
  position_ = position;
  DrawBar();
}

void ConsoleUi::ProgressSetLine(int line, const std::string& text) {
  if (line == 1) {
    // A status shown again (every so many steps of a long run) is not news on a log, nor is one
    // whose headline stays while only its count below moves (the free-space count, cluster by cluster).
    const auto headline = [](const std::string& t) { return t.substr(0, t.find('\n')); };
    if (!quiet && !tty_ && !text.empty() && headline(text) != headline(line1_)) std::cerr << Utf8(text) << "\n";
    line1_ = text;
  } else {
    line2_ = text;
  }
  DrawBar();
}

void ConsoleUi::DrawBar() {
  if (quiet || !progressOpen_ || !tty_) return;
  // The bar's range is one more than the count of items: show the items.
  const std::uint32_t total = maximum_ > 0 ? maximum_ - 1 : 0;
  const std::uint32_t percent = total ? std::min<std::uint32_t>(100, position_ * 100 / total) : 0;
  if (percent == lastDrawnPercent_ && line2_.empty()) return;
  lastDrawnPercent_ = percent;
  const int width = 30;
  const int filled = static_cast<int>(percent * width / 100);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(width, '-');
  std::fprintf(stderr, "\r\033[K%s [%s] %3u%% %s", Utf8(line1_).substr(0, 40).c_str(), bar.c_str(), percent,
               Utf8(line2_).c_str());
  std::fflush(stderr);
}

}  // namespace sondesk

#include "link/PortFactory.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "app/Session.h"
#include "emulator/CardImage.h"
#include "emulator/VirtualPlayer.h"
#include "link/DirectPort.h"
#include "link/PpdevPort.h"
#include "link/VirtualPort.h"

namespace sondesk {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

const char* kPortForms = "virtual:IMAGE, ppdev:/dev/parportN, lpt1 or lpt2";

// The settings' choice, as a --port text would give it.
bool ChoiceFromSettings(Session& session, PortChoice& choice, std::string& error) {
  const Settings& s = session.settings();
  const std::string backend = Lower(s.portBackend);
  if (backend == "ppdev") return ParsePortText("ppdev", s.currentLpt, choice, error);
  if (backend == "direct") return ParsePortText("direct", s.currentLpt, choice, error);
  if (backend == "virtual") return ParsePortText("virtual", s.currentLpt, choice, error);
  if (backend == "auto" || backend.empty()) {
    const std::string device = PpdevDeviceFor(s.currentLpt);
    return ParsePortText(Exists(device) ? "ppdev" : "virtual", s.currentLpt, choice, error);
  }
  error = "the setting PortBackend holds '" + s.portBackend + "': it takes auto, ppdev, direct or virtual";
  return false;
}

}  // namespace

bool ParsePortText(const std::string& portText, int currentLpt, PortChoice& choice, std::string& error) {
  choice = PortChoice{};
  const std::string lower = Lower(portText);
  if (lower == "virtual" || StartsWith(lower, "virtual:")) {
    choice.kind = PortChoice::Kind::Virtual;
    std::string rest = portText.size() > 8 ? portText.substr(8) : "";
    const std::size_t query = rest.find('?');
    if (query != std::string::npos) {
      if (!ParseVirtualPortQuery(rest.substr(query + 1), choice.faults, error)) return false;
      rest.resize(query);
    }
    choice.path = rest;
    return true;
  }
  if (lower == "ppdev" || StartsWith(lower, "ppdev:")) {
    choice.kind = PortChoice::Kind::Ppdev;
    choice.path = portText.size() > 6 ? portText.substr(6) : PpdevDeviceFor(currentLpt);
    return true;
  }
  if (lower == "lpt1" || lower == "lpt2" || lower == "direct") {
    choice.kind = PortChoice::Kind::Direct;
    choice.base = lower == "lpt1"   ? PortBaseFor(0)
                  : lower == "lpt2" ? PortBaseFor(1)
                                    : PortBaseFor(currentLpt);
    return true;
  }
  error = "unknown port '" + portText + "': give " + kPortForms;
  return false;
}

std::string DefaultVirtualCardPath(Session& session) {
  if (!session.settings().virtualCard.empty()) return session.settings().virtualCard;
  if (session.paths().dataDir.empty()) return "";
  return JoinPath(session.paths().dataDir, "SonFlash.img");
}

std::string PortLockPath(Session& session, const std::string& portText) {
  PortChoice choice;
  std::string why;
  const bool parsed = portText.empty() ? ChoiceFromSettings(session, choice, why)
                                       : ParsePortText(portText, session.settings().currentLpt, choice, why);
  if (!parsed) return "";
  switch (choice.kind) {
    case PortChoice::Kind::Virtual:
      return choice.path.empty() ? DefaultVirtualCardPath(session) : choice.path;
    case PortChoice::Kind::Ppdev:
      return choice.path;
    case PortChoice::Kind::Direct:
      break;
  }
  return "";
}

std::unique_ptr<Port> OpenPort(Session& session, const std::string& portText, std::string& error) {
  PortChoice choice;
  std::string why;
  const bool parsed = portText.empty() ? ChoiceFromSettings(session, choice, why)
                                       : ParsePortText(portText, session.settings().currentLpt, choice, why);
  if (!parsed) {
    error = why;
    return nullptr;
  }
  switch (choice.kind) {
    case PortChoice::Kind::Virtual: {
      std::string image = choice.path;
      if (image.empty()) {
        image = DefaultVirtualCardPath(session);
        if (image.empty()) {
          error = "virtual player: no card image (set VirtualCard, or give --port virtual:IMAGE)";
          return nullptr;
        }
        // The player everyone has: a fresh card on first use, as if just bought.
        if (session.settings().virtualCard.empty() && !Exists(image)) {
          MakeFolders(DirName(image));
          if (!CreateBlankCardImage(image, kDefaultVirtualCardMegabytes, why)) {
            error = "virtual player: " + why;
            return nullptr;
          }
        }
      }
      auto player = VirtualPlayer::Open(image, choice.faults, why);
      if (!player) {
        error = "virtual player: " + why;
        return nullptr;
      }
      return std::make_unique<VirtualPort>(std::move(player));
    }
    case PortChoice::Kind::Ppdev: {
      auto port = PpdevPort::Open(choice.path, why);
      if (!port) {
        error = session.Text(35) + why;
        return nullptr;
      }
      return port;
    }
    case PortChoice::Kind::Direct: {
      auto port = DirectPort::Open(choice.base, MakeProcessorIoRegisters(), why);
      if (!port) {
        error = session.Text(35) + why;
        return nullptr;
      }
      return port;
    }
  }
  error = "unknown port";
  return nullptr;
}

}  // namespace sondesk

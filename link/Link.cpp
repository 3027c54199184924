// The link object: its port, its error word and countdown, and the trace.

#include "link/Link.h"

#include "app/Session.h"
#include "link/PortFactory.h"
#include "link/VirtualPort.h"

namespace sondesk {

Link::Link(Session& session, std::unique_ptr<Port> port) : session_(session), clock_(session.clock()) {
  SetPort(std::move(port));
}

Link::~Link() {
  if (traceFile_ != nullptr) std::fclose(traceFile_);
}

void Link::SetPort(std::unique_ptr<Port> port) {
  port_ = std::move(port);
  auto* virtualPort = dynamic_cast<VirtualPort*>(port_.get());
  virtualPlayer_ = virtualPort != nullptr ? &virtualPort->player() : nullptr;
}

int Link::OpenPortDriver(const std::string& portText, bool showMessage) {
  SetPort(nullptr);
  std::string error;
  std::unique_ptr<Port> port = OpenPort(session_, portText, error);
  if (!port) {
    portError_ = error;
    if (showMessage) session_.ShowBox(portError_, 22, BoxIcon::None, BoxButtons::Ok);
    return 0;
  }
  portError_.clear();
  SetPort(std::move(port));
  return 1;
}

void Link::ClosePortDriver() {
  SetPort(nullptr);
}

std::string Link::portName() const {
  return port_ ? port_->Describe() : std::string();
}

void Link::ResetLinkState() {
  state_ = kLinkOk;
  countdown_ = 3;
}

void Link::ReportLinkError(const std::string& text) {
  TraceLine("Errore connessione SONVAR Flash reader:\n" + text);
  if (countdown_-- != 1) return;
  countdown_ = 3;
  if (!session_.DevicePrompt()) state_ = kLinkAborted;
}

int Link::Decline() {
  // Nobody is on the line: saying so once at opening is enough, a time-out per byte helps no one.
  state_ = kLinkAborted;
  return 0;
}

void Link::TraceLine(const std::string& text) {
  if (traceSink_) traceSink_(text);
  session_.ui().DebugLine(text);
  const Settings& s = session_.settings();
  if (s.traceLink != 1 || s.traceFile.empty() || traceFileFailed_) return;
  if (traceFile_ == nullptr) {
    traceFile_ = std::fopen(s.traceFile.c_str(), "a");
    if (traceFile_ == nullptr) {
      traceFileFailed_ = true;  // a trace must never stop the link
      return;
    }
  }
  std::fputs(text.c_str(), traceFile_);
  std::fputc('\n', traceFile_);
  std::fflush(traceFile_);
}

std::unique_ptr<Link> OpenLink(Session& session, const std::string& portText, std::string& error) {
  auto link = std::make_unique<Link>(session);
  if (!link->OpenPortDriver(portText, false)) {
    error = link->portError();
    return nullptr;
  }
  link->InitLink();
  link->ResetLinkState();
  return link;
}

}  // namespace sondesk

#include "tests/support/UpdateServer.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace sondesk::test {

UpdateServer::UpdateServer(const std::string& script, const std::string& root, const std::string& cert,
                           const std::string& key)
    : tls_(!cert.empty() && !key.empty()) {
  int out[2];
  if (::pipe(out) != 0) return;
  pid_ = ::fork();
  if (pid_ < 0) return;
  if (pid_ == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    std::vector<const char*> argv = {"python3", script.c_str(), "--root", root.c_str()};
    if (tls_) {
      argv.push_back("--tls");
      argv.push_back(cert.c_str());
      argv.push_back(key.c_str());
    }
    argv.push_back(nullptr);
    ::execvp("python3", const_cast<char* const*>(argv.data()));
    ::_exit(127);
  }
  ::close(out[1]);
  std::FILE* f = ::fdopen(out[0], "r");
  if (f == nullptr) return;
  if (std::fscanf(f, "%d", &port_) != 1) port_ = 0;
  std::fclose(f);
}

UpdateServer::~UpdateServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

std::string UpdateServer::base() const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + "/";
}

bool MakeSelfSignedCertificate(const std::string& cert, const std::string& key) {
  const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -keyout '" +
                              key + "' -out '" + cert + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

}  // namespace sondesk::test

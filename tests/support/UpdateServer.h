#pragma once
// The update server of the firmware tests, really started: tests/support/update_server.py (python's
// http.server) on 127.0.0.1 and a port the system chose, stopped when the object goes.

#include <string>
#include <sys/types.h>

namespace sondesk::test {

class UpdateServer {
 public:
  // Serves the files under `root`; https with `cert` and `key` when both are given.
  UpdateServer(const std::string& script, const std::string& root, const std::string& cert = "",
               const std::string& key = "");
  ~UpdateServer();
  UpdateServer(const UpdateServer&) = delete;
  UpdateServer& operator=(const UpdateServer&) = delete;

  bool running() const { return port_ > 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:PORT/" (or https).
  std::string base() const;

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  bool tls_ = false;
};

// A self-signed certificate and its key for 127.0.0.1, made with openssl; false when openssl is
// not there.
bool MakeSelfSignedCertificate(const std::string& cert, const std::string& key);

}  // namespace sondesk::test

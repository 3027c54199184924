#include "app/WorkFolder.h"

#include <stdlib.h>

#include <filesystem>
#include <vector>

namespace sondesk {

WorkFolder::WorkFolder(const std::string& workDir) : path_(workDir) {
  std::error_code ec;
  std::filesystem::create_directories(workDir, ec);
  std::string pattern = workDir + "/op-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) != nullptr) {
    path_ = buf.data();
    own_ = true;
  }
}

WorkFolder::~WorkFolder() {
  if (!own_) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace sondesk

#pragma once
// A fresh folder for one test, removed with everything in it when the test ends.

#include <cstdint>
#include <string>
#include <vector>

namespace sondesk::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& data);
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& data);
std::string ReadFile(const std::string& path);
std::vector<std::uint8_t> ReadBytes(const std::string& path);

}  // namespace sondesk::test

#pragma once
// A folder of one operation's own inside the work folder: the work files of a conversion or an
// import (TEMP.MID, Tune1000.MID, WB.MID, ...) keep their names but live here, so two conversions
// at once, in one program or in two, never read each other's files. Removed with its contents when
// the operation ends.

#include <string>

namespace sondesk {

class WorkFolder {
 public:
  // Makes the folder under `workDir` (made first when missing). When it cannot be made, path()
  // is `workDir` itself and nothing is removed at the end.
  explicit WorkFolder(const std::string& workDir);
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  ~WorkFolder();

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  bool own_ = false;
};

}  // namespace sondesk

#include "midi/Mf3File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "app/AtomicFile.h"
#include "app/Endian.h"
#include "app/Session.h"

namespace sondesk {

const char* Mf3StatusText(Mf3Status status) {
  switch (status) {
    case Mf3Status::Ok:
      return "ok";
    case Mf3Status::CannotOpen:
      return "cannot be read";
    case Mf3Status::CannotCreate:
      return "cannot be written";
    case Mf3Status::NotMf3:
      return "not an MF3 file";
    case Mf3Status::Damaged:
      return "damaged MF3 file: the compressed song is incomplete or corrupt";
    case Mf3Status::TooLarge:
      return "song too large for an MF3 file";
  }
  return "unknown";
}

std::string Mf3FileNameOf(std::string_view name) {
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  if (name.size() > Mf3Header::kFileNameField - 1) name = name.substr(0, Mf3Header::kFileNameField - 1);
  return std::string(name);
}

void PrepareMf3Header(Mf3Header& header, std::string_view name) {
  // A file without the magic is "not an MF3 file" to every reader, the player included; whatever
  // the caller started from, what is written here is an MF3 file.
  header.magic = Mf3Header::kMagic;
  header.SetFileName(Mf3FileNameOf(name));
  Mf3Header::SetField(header.title, name);
  Mf3Header::SetField(header.publisher, "-");
  Mf3Header::SetField(header.author, "-");
  Mf3Header::SetField(header.performer, "-");
  Mf3Header::SetField(header.genre, "-");
}

Mf3Status BuildMf3(Mf3Header& header, std::string_view name, std::span<const std::uint8_t> payload,
                   std::vector<std::uint8_t>& file) {
  file.clear();
  PrepareMf3Header(header, name);
  file.resize(Mf3Header::kSize);
  if (LzhufCompress(payload, file) != LzhufStatus::Ok ||
      file.size() > std::numeric_limits<std::uint32_t>::max()) {
    file.clear();
    return Mf3Status::TooLarge;
  }
  header.midiSize = static_cast<std::uint32_t>(payload.size());
  header.fileSize = static_cast<std::uint32_t>(file.size());
  header.Serialize(file.data());
  return Mf3Status::Ok;
}

Mf3Status DecodeMf3Bytes(std::span<const std::uint8_t> file, Mf3Header& header,
                         std::vector<std::uint8_t>& payload) {
  Mf3Header parsed;
  if (!Mf3Header::Parse(file, parsed) || !parsed.HasMagic()) return Mf3Status::NotMf3;
  header = parsed;
  payload.clear();
  const LzhufStatus s = LzhufDecompress(file.subspan(kMf3PayloadOffset), payload);
  return s == LzhufStatus::Ok ? Mf3Status::Ok : Mf3Status::Damaged;
}

Mf3Status CheckMf3Song(std::span<const std::uint8_t> file, std::string& why) {
  if (file.size() < Mf3Header::kSize) {
    why = Format("%zu bytes, shorter than an MF3 header", file.size());
    return Mf3Status::NotMf3;
  }
  Mf3Header header;
  if (!Mf3Header::Parse(file, header) || !header.HasMagic()) {
    why = "no MF3 mark at its start";
    return Mf3Status::NotMf3;
  }
  std::uint32_t size = 0;
  if (!LzhufStoredSize(file.subspan(kMf3PayloadOffset), size)) {
    why = "no size word after the header";
    return Mf3Status::Damaged;
  }
  if (size == 0) {
    why = "the song is empty";
    return Mf3Status::Damaged;
  }
  std::vector<std::uint8_t> payload;
  if (LzhufDecompress(file.subspan(kMf3PayloadOffset), payload) != LzhufStatus::Ok) {
    why = Format("the compressed song ends after %zu of the %u bytes its size word promises", payload.size(),
                 static_cast<unsigned>(size));
    return Mf3Status::Damaged;
  }
  why.clear();
  return Mf3Status::Ok;
}

namespace {

// The whole of a regular file; a folder or device given as a song is not read as an empty one.
bool ReadRegularFile(const std::string& path, std::vector<std::uint8_t>& out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  out.clear();
  if (ok) out.reserve(static_cast<std::size_t>(st.st_size));
  std::uint8_t buf[65536];
  while (ok) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  ::close(fd);
  return ok;
}

void Report(Session& session, const std::string& path, Mf3Status status) {
  session.ui().DebugLine(path + ": " + Mf3StatusText(status));
  if (status == Mf3Status::CannotCreate || status == Mf3Status::TooLarge) {
    session.ShowCreateError(path);
  } else {
    session.ShowOpenError(path);
  }
}

int Finish(Session& session, const std::string& path, Mf3Status s, Mf3Status* status) {
  if (status) *status = s;
  if (s == Mf3Status::Ok) return 0;
  Report(session, path, s);
  return 1;
}

}  // namespace

int WriteMf3(Session& session, const std::string& payloadPath, const std::string& targetPath,
             const std::string& name, Mf3Header& header, Mf3Status* status) {
  std::vector<std::uint8_t> payload;
  if (!ReadRegularFile(payloadPath, payload))
    return Finish(session, payloadPath, Mf3Status::CannotOpen, status);
  Mf3Header h = header;
  std::vector<std::uint8_t> file;
  if (BuildMf3(h, name, payload, file) != Mf3Status::Ok) {
    return Finish(session, targetPath, Mf3Status::TooLarge, status);
  }
  // Written whole under a temporary name and renamed: a failed write leaves neither a truncated
  // song nor a damaged older file of that name.
  if (!WriteFileAtomically(targetPath, file))
    return Finish(session, targetPath, Mf3Status::CannotCreate, status);
  header = h;
  return Finish(session, targetPath, Mf3Status::Ok, status);
}

int DecodeMf3ToMemory(Session& session, const std::string& mf3Path, Mf3Header& header,
                      std::vector<std::uint8_t>& payload, Mf3Status* status) {
  std::vector<std::uint8_t> file;
  if (!ReadRegularFile(mf3Path, file)) return Finish(session, mf3Path, Mf3Status::CannotOpen, status);
  return Finish(session, mf3Path, DecodeMf3Bytes(file, header, payload), status);
}

int DecodeMf3(Session& session, const std::string& mf3Path, const std::string& outputPath, Mf3Header& header,
              Mf3Status* status) {
  std::vector<std::uint8_t> payload;
  Mf3Header h = header;
  if (DecodeMf3ToMemory(session, mf3Path, h, payload, status) != 0) return 1;
  if (!WriteFileAtomically(outputPath, payload))
    return Finish(session, outputPath, Mf3Status::CannotCreate, status);
  header = h;
  return 0;
}

}  // namespace sondesk

#include "midi/Mf3Header.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/Endian.h"
#include "app/Session.h"

namespace sondesk {

// The layout is fixed by the player's firmware: every field's place is checked here, so a change
// of a size shows at build time instead of as songs the player cannot read.
static_assert(Mf3Header::kOffFileName + Mf3Header::kFileNameField == Mf3Header::kOffCopyright);
static_assert(Mf3Header::kOffCopyright + Mf3Header::kTextField == Mf3Header::kOffTitle);
static_assert(Mf3Header::kOffTitle + Mf3Header::kTextField == Mf3Header::kOffPublisher);
static_assert(Mf3Header::kOffPublisher + Mf3Header::kTextField == Mf3Header::kOffAuthor);
static_assert(Mf3Header::kOffAuthor + Mf3Header::kTextField == Mf3Header::kOffPerformer);
static_assert(Mf3Header::kOffPerformer + Mf3Header::kTextField == Mf3Header::kOffGenre);
static_assert(Mf3Header::kOffGenre + Mf3Header::kTextField == Mf3Header::kOffTranspose);
static_assert(Mf3Header::kOffReserved2 + sizeof(Mf3Header::reserved2) == Mf3Header::kOffFileName);
static_assert(Mf3Header::kOffChannels + Mf3Header::kChannels * ChannelSetup::kSize ==
              Mf3Header::kOffInitialControllers);
static_assert(Mf3Header::kOffInitialControllers + Mf3Header::kChannels * InitialControllers::kSize ==
              Mf3Header::kOffReserved4);
static_assert(Mf3Header::kOffReserved4 + sizeof(Mf3Header::reserved4) == Mf3Header::kSize);
static_assert(Mf3Header::kSize == 512 && ChannelSetup::kSize == 9 && InitialControllers::kSize == 4);

void ChannelSetup::Serialize(std::uint8_t* out) const {
  out[0] = mode;
  out[1] = program;
  out[2] = bank;
  out[3] = static_cast<std::uint8_t>(volumeOffset);
  out[4] = static_cast<std::uint8_t>(panOffset);
  out[5] = static_cast<std::uint8_t>(reverbOffset);
  out[6] = static_cast<std::uint8_t>(chorusOffset);
  out[7] = velocityCurve;
  out[8] = static_cast<std::uint8_t>(transpose);
}

ChannelSetup ChannelSetup::Parse(const std::uint8_t* in) {
  ChannelSetup c;
  c.mode = in[0];
  c.program = in[1];
  c.bank = in[2];
  c.volumeOffset = static_cast<std::int8_t>(in[3]);
  c.panOffset = static_cast<std::int8_t>(in[4]);
  c.reverbOffset = static_cast<std::int8_t>(in[5]);
  c.chorusOffset = static_cast<std::int8_t>(in[6]);
  c.velocityCurve = in[7];
  c.transpose = static_cast<std::int8_t>(in[8]);
  return c;
}

void InitialControllers::Serialize(std::uint8_t* out) const {
  out[0] = volume;
  out[1] = pan;
  out[2] = chorus;
  out[3] = reverb;
}

InitialControllers InitialControllers::Parse(const std::uint8_t* in) {
  InitialControllers c;
  c.volume = in[0];
  c.pan = in[1];
  c.chorus = in[2];
  c.reverb = in[3];
  return c;
}

Mf3Header Mf3Header::Fresh() {
  Mf3Header h;
  h.magic = kMagic;
  for (ChannelSetup& c : h.channels) {
    c.program = ChannelSetup::kNone;
    c.bank = ChannelSetup::kNone;
  }
  for (InitialControllers& c : h.initialControllers)
    c = {InitialControllers::kNone, InitialControllers::kNone, InitialControllers::kNone,
         InitialControllers::kNone};
  return h;
}

namespace {

template <std::size_t M, typename T>
void PutBytes(std::uint8_t* out, std::size_t offset, const std::array<T, M>& field) {
  static_assert(sizeof(T) == 1);
  std::memcpy(out + offset, field.data(), M);
}

template <std::size_t M, typename T>
void GetBytes(const std::uint8_t* in, std::size_t offset, std::array<T, M>& field) {
  static_assert(sizeof(T) == 1);
  std::memcpy(field.data(), in + offset, M);
}

}  // namespace

void Mf3Header::Serialize(std::uint8_t* out) const {
  PutBytes(out, kOffMagic, magic);
  PutLe32(out + kOffFileSize, fileSize);
  PutLe32(out + kOffReserved1, reserved1);
  PutLe32(out + kOffMidiSize, midiSize);
  PutBytes(out, kOffReserved2, reserved2);
  PutBytes(out, kOffFileName, fileName);
  PutBytes(out, kOffCopyright, copyright);
  PutBytes(out, kOffTitle, title);
  PutBytes(out, kOffPublisher, publisher);
  PutBytes(out, kOffAuthor, author);
  PutBytes(out, kOffPerformer, performer);
  PutBytes(out, kOffGenre, genre);
  out[kOffTranspose] = static_cast<std::uint8_t>(transpose);
  out[kOffReserved3] = reserved3;
  PutLe16(out + kOffTempoOffset, static_cast<std::uint16_t>(tempoOffset));
  for (std::size_t i = 0; i < kChannels; ++i)
    channels[i].Serialize(out + kOffChannels + i * ChannelSetup::kSize);
  for (std::size_t i = 0; i < kChannels; ++i) {
    initialControllers[i].Serialize(out + kOffInitialControllers + i * InitialControllers::kSize);
  }
  PutBytes(out, kOffReserved4, reserved4);
}

std::array<std::uint8_t, Mf3Header::kSize> Mf3Header::Serialize() const {
  std::array<std::uint8_t, kSize> bytes{};
  Serialize(bytes.data());
  return bytes;
}

Mf3Header Mf3Header::Parse(const std::uint8_t* in) {
  Mf3Header h;
  GetBytes(in, kOffMagic, h.magic);
  h.fileSize = GetLe32(in + kOffFileSize);
  h.reserved1 = GetLe32(in + kOffReserved1);
  h.midiSize = GetLe32(in + kOffMidiSize);
  GetBytes(in, kOffReserved2, h.reserved2);
  GetBytes(in, kOffFileName, h.fileName);
  GetBytes(in, kOffCopyright, h.copyright);
  GetBytes(in, kOffTitle, h.title);
  GetBytes(in, kOffPublisher, h.publisher);
  GetBytes(in, kOffAuthor, h.author);
  GetBytes(in, kOffPerformer, h.performer);
  GetBytes(in, kOffGenre, h.genre);
  h.transpose = static_cast<std::int8_t>(in[kOffTranspose]);
  h.reserved3 = in[kOffReserved3];
  h.tempoOffset = static_cast<std::int16_t>(GetLe16(in + kOffTempoOffset));
  for (std::size_t i = 0; i < kChannels; ++i)
    h.channels[i] = ChannelSetup::Parse(in + kOffChannels + i * ChannelSetup::kSize);
  for (std::size_t i = 0; i < kChannels; ++i) {
    h.initialControllers[i] =
        InitialControllers::Parse(in + kOffInitialControllers + i * InitialControllers::kSize);
  }
  GetBytes(in, kOffReserved4, h.reserved4);
  return h;
}

bool Mf3Header::Parse(std::span<const std::uint8_t> bytes, Mf3Header& out) {
  if (bytes.size() < kSize) return false;
  out = Parse(bytes.data());
  return true;
}

Mf3Texts Mf3Header::Texts() const {
  return {FieldText(copyright), FieldText(title),     FieldText(publisher),
          FieldText(author),    FieldText(performer), FieldText(genre)};
}

void Mf3Header::SetTexts(const Mf3Texts& t) {
  SetField(copyright, t.copyright);
  SetField(title, t.title);
  SetField(publisher, t.publisher);
  SetField(author, t.author);
  SetField(performer, t.performer);
  SetField(genre, t.genre);
}

const char* Mf3HeaderStatusText(Mf3HeaderStatus status) {
  switch (status) {
    case Mf3HeaderStatus::Ok:
      return "ok";
    case Mf3HeaderStatus::CannotOpen:
      return "cannot be read";
    case Mf3HeaderStatus::TooShort:
      return "not an MF3 file: shorter than its 512-byte header";
    case Mf3HeaderStatus::NotMf3:
      return "not an MF3 file: it does not start with \"_MF3\"";
    case Mf3HeaderStatus::CannotWrite:
      return "cannot be written";
  }
  return "unknown";
}

namespace {

// Reads up to `size` bytes at `offset`; the count read, or -1 on an error.
ssize_t ReadFully(int fd, std::uint8_t* buf, std::size_t size, off_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, buf + done, size - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

Mf3HeaderStatus ReadHeaderFrom(int fd, Mf3Header& header) {
  std::uint8_t bytes[Mf3Header::kSize];
  const ssize_t n = ReadFully(fd, bytes, sizeof bytes, 0);
  if (n < 0) return Mf3HeaderStatus::CannotOpen;
  if (static_cast<std::size_t>(n) < sizeof bytes) return Mf3HeaderStatus::TooShort;
  const Mf3Header parsed = Mf3Header::Parse(bytes);
  if (!parsed.HasMagic()) return Mf3HeaderStatus::NotMf3;
  header = parsed;
  return Mf3HeaderStatus::Ok;
}

void Report(Session& session, const std::string& path, Mf3HeaderStatus status) {
  if (status == Mf3HeaderStatus::Ok) return;
  session.ui().DebugLine(path + ": " + Mf3HeaderStatusText(status));
  if (status == Mf3HeaderStatus::CannotWrite) {
    session.ShowCreateError(path);
  } else {
    session.ShowOpenError(path);
  }
}

}  // namespace

Mf3HeaderStatus ReadMf3HeaderFile(const std::string& path, Mf3Header& header) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Mf3HeaderStatus::CannotOpen;
  struct stat st {};
  Mf3HeaderStatus status = Mf3HeaderStatus::CannotOpen;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) status = ReadHeaderFrom(fd, header);
  ::close(fd);
  return status;
}

int ReadMf3Header(Session& session, const std::string& path, Mf3Header& header, Mf3HeaderStatus* status) {
  const Mf3HeaderStatus s = ReadMf3HeaderFile(path, header);
  if (status) *status = s;
  Report(session, path, s);
  return s == Mf3HeaderStatus::Ok ? 0 : 1;
}

int WriteMf3Header(Session& session, const std::string& path, const Mf3Header& header,
                   Mf3HeaderStatus* status) {
  Mf3HeaderStatus s = Mf3HeaderStatus::Ok;
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    // A file that exists but refuses writing is a write failure; one that cannot be reached at
    // all is a read failure.
    s = ::access(path.c_str(), F_OK) == 0 ? Mf3HeaderStatus::CannotWrite : Mf3HeaderStatus::CannotOpen;
  } else {
    struct stat st {};
    Mf3Header current;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      s = Mf3HeaderStatus::CannotOpen;
    } else {
      s = ReadHeaderFrom(fd, current);
    }
    if (s == Mf3HeaderStatus::Ok) {
      const auto bytes = header.Serialize();
      std::size_t done = 0;
      while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
          s = Mf3HeaderStatus::CannotWrite;
          break;
        }
        done += static_cast<std::size_t>(n);
      }
    }
    if (::close(fd) != 0 && s == Mf3HeaderStatus::Ok) s = Mf3HeaderStatus::CannotWrite;
  }
  if (status) *status = s;
  Report(session, path, s);
  return s == Mf3HeaderStatus::Ok ? 0 : 1;
}

int UpdateMf3HeaderTexts(Session& session, const std::string& path, const Mf3Texts& texts,
                         Mf3HeaderStatus* status) {
  Mf3Header header;
  if (ReadMf3Header(session, path, header, status) != 0) return 1;
  header.SetTexts(texts);
  return WriteMf3Header(session, path, header, status);
}

}  // namespace sondesk

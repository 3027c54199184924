#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string_view>
#include <vector>

#include "app/AtomicFile.h"
#include "app/Paths.h"
#include "cli/CliContext.h"
#include "messages/Cp1252.h"
#include "midi/Lzhuf.h"
#include "midi/Mf3File.h"
#include "midi/Mf3Header.h"

namespace sondesk {

namespace {

struct Mf3Args {
  std::string in, out, name;
};

void PrintHeader(const Mf3Header& h) {
  std::cout << "magic: " << std::string(h.magic.data(), h.magic.size()) << "\n"
            << "fileSize: " << h.fileSize << "\n"
            << "midiSize: " << h.midiSize << "\n"
            << "fileName: " << Cp1252ToUtf8(h.FileNameText()) << "\n";
  const Mf3Texts t = h.Texts();
  std::cout << "copyright: " << Cp1252ToUtf8(t.copyright) << "\n"
            << "title: " << Cp1252ToUtf8(t.title) << "\n"
            << "publisher: " << Cp1252ToUtf8(t.publisher) << "\n"
            << "author: " << Cp1252ToUtf8(t.author) << "\n"
            << "performer: " << Cp1252ToUtf8(t.performer) << "\n"
            << "genre: " << Cp1252ToUtf8(t.genre) << "\n"
            << "transpose: " << static_cast<int>(h.transpose) << "\n"
            << "tempoOffset: " << h.tempoOffset << "\n";
}

void AddInOut(CLI::App* cmd, Mf3Args& a, const char* inName, const char* outName) {
  cmd->add_option(inName, a.in)->required();
  cmd->add_option(outName, a.out)->required();
}

// A stream coded file to file, as scripts call it once per file: the input read (a large stream to
// decode: mapped), the output coded chunk by chunk straight into a temporary file beside OUT and
// renamed onto it only when whole. Memory stays the input's size plus a fixed window however large
// the output.
enum class LzhufFileResult { Ok, CannotRead, CannotCode, CannotWrite };

class FileSink final : public LzhufSink {
 public:
  explicit FileSink(int fd) : fd_(fd) {}
  bool Write(const std::uint8_t* data, std::size_t size) override { return WriteFully(fd_, data, size); }

 private:
  int fd_;
};

// What the bus-error handler needs, kept where a signal handler may read it.
char gBusInput[4096];
char gBusTemporary[4096];
std::size_t gBusInputLength = 0;

void OnBusError(int) {
  ::unlink(gBusTemporary);
  static const char kPrefix[] = "sondesk-cli: ";
  static const char kSuffix[] = ": the file was cut short while it was read\n";
  (void)!::write(STDERR_FILENO, kPrefix, sizeof kPrefix - 1);
  (void)!::write(STDERR_FILENO, gBusInput, gBusInputLength);
  (void)!::write(STDERR_FILENO, kSuffix, sizeof kSuffix - 1);
  ::_exit(1);
}

// The input's bytes. Streams of 64 KiB and more to decode are mapped: reading them copied every page
// into memory the process first had to fault in, 3-6% of a whole decode of a 1 MiB stream. (The
// encoder's input is read: mapped, it made the encoder on tables of counters 10% slower, in runs
// that left random bytes and MIDI alike, for reasons not found.) A mapped file that another
// program cuts short while it is coded ends the process with a bus error when the lost pages are
// read; while the coding runs, the handler then removes the temporary file and says why (exit
// status 1), so OUT stays as it was. Names too long for the handler's buffers are read instead.
class InputBytes {
 public:
  static constexpr std::size_t kMapFrom = 64 * 1024;

  ~InputBytes() {
    if (map_ != nullptr) {
      ::sigaction(SIGBUS, &previous_, nullptr);
      ::munmap(map_, size_);
    }
  }

  // False when `path` cannot be read, is no regular file, is larger than the read cap or grew
  // while it was read.
  bool Open(const char* path, const std::string& temporary, bool mayMap) {
    struct stat st {};
    const int fd = OpenRegularFileForReading(path, st);
    if (fd < 0) return false;
    bool ok = static_cast<std::uint64_t>(st.st_size) <= kReadCap;
    const auto length = static_cast<std::size_t>(st.st_size);
    const std::size_t pathLength = std::strlen(path);
    if (ok && mayMap && length >= kMapFrom && pathLength < sizeof gBusInput && temporary.size() < sizeof gBusTemporary) {
      void* map = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
      if (map != MAP_FAILED) {
        std::memcpy(gBusInput, path, pathLength + 1);
        gBusInputLength = pathLength;
        std::memcpy(gBusTemporary, temporary.c_str(), temporary.size() + 1);
        struct sigaction action {};
        action.sa_handler = OnBusError;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previous_);
        map_ = map;
        size_ = length;
        ::close(fd);
        return true;
      }
    }
    // One byte more than the status gave, to see the end of the file rather than assume it.
    const std::size_t room = ok ? length + 1 : 0;
    if (ok) data_.reset(new std::uint8_t[room]);  // left uninitialised: overwritten at once
    while (ok) {
      const ssize_t n = ::read(fd, data_.get() + size_, room - size_);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = false;
      if (n <= 0) break;
      size_ += static_cast<std::size_t>(n);
      if (size_ == room) ok = false;  // grew under us: the reader of whole files copes with that
    }
    ::close(fd);
    return ok;
  }

  std::span<const std::uint8_t> bytes() const {
    return {map_ != nullptr ? static_cast<const std::uint8_t*>(map_) : data_.get(), size_};
  }

 private:
  void* map_ = nullptr;
  struct sigaction previous_ {};
  std::unique_ptr<std::uint8_t[]> data_;
  std::size_t size_ = 0;
};

LzhufFileResult CodeLzhufFile(bool compress, const char* in, const std::string& out, LzhufStatus& status) {
  const std::string tmp = TemporarySibling(out);
  InputBytes input;
  if (!input.Open(in, tmp, !compress)) return LzhufFileResult::CannotRead;
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return LzhufFileResult::CannotWrite;
  FileSink sink(fd);
  status = compress ? LzhufCompress(input.bytes(), sink) : LzhufDecompress(input.bytes(), sink);
  const bool closed = ::close(fd) == 0;
  LzhufFileResult result = LzhufFileResult::Ok;
  if (status == LzhufStatus::WriteFailed || !closed) {
    result = LzhufFileResult::CannotWrite;
  } else if (status != LzhufStatus::Ok) {
    // Nothing is written: half a payload would pass for a song.
    result = LzhufFileResult::CannotCode;
  } else if (::rename(tmp.c_str(), out.c_str()) != 0) {
    result = LzhufFileResult::CannotWrite;
  }
  if (result != LzhufFileResult::Ok) ::unlink(tmp.c_str());
  return result;
}

// The full command line's form: the same coding, with the reason told when it fails.
void RunLzhufCommand(CliContext& ctx, bool compress, const std::string& in, const std::string& out) {
  LzhufStatus status = LzhufStatus::Ok;
  switch (CodeLzhufFile(compress, in.c_str(), out, status)) {
    case LzhufFileResult::Ok:
      return;
    case LzhufFileResult::CannotRead:
      ctx.session().ShowOpenError(in);
      return ctx.Fail(in + ": cannot be read");
    case LzhufFileResult::CannotCode:
      if (!compress) ctx.session().ShowOpenError(in);
      return ctx.Fail(in + ": " + LzhufStatusText(status));
    case LzhufFileResult::CannotWrite:
      ctx.session().ShowCreateError(out);
      return ctx.Fail(out + ": cannot be written");
  }
}

}  // namespace

int RunBareLzhufCommand(int argc, char** argv) {
  if (argc != 5 || std::string_view(argv[1]) != "lzhuf") return -1;
  const std::string_view mode = argv[2];
  if (mode != "compress" && mode != "decompress") return -1;
  LzhufStatus status = LzhufStatus::Ok;
  return CodeLzhufFile(mode == "compress", argv[3], argv[4], status) == LzhufFileResult::Ok ? 0 : -1;
}

void RegisterMf3Commands(CLI::App& app, CliContext& ctx) {
  auto args = std::make_shared<Mf3Args>();

  CLI::App* mf3 = GetOrAddSubcommand(app, "mf3", "MF3 song files: header and compressed payload");

  auto* info = mf3->add_subcommand("info", "the header fields, one `field: value` a line");
  info->add_option("FILE", args->in)->required();
  info->callback([&ctx, args] {
    Mf3Header h;
    Mf3HeaderStatus status = Mf3HeaderStatus::Ok;
    if (ReadMf3Header(ctx.session(), args->in, h, &status) != 0) {
      return ctx.Fail(args->in + ": " + Mf3HeaderStatusText(status));
    }
    PrintHeader(h);
  });

  auto* pack = mf3->add_subcommand("pack", "compress a plain payload file into an MF3 file");
  AddInOut(pack, *args, "PAYLOAD", "OUT");
  pack->add_option("--name", args->name, "the song's name as shown to the user (default: OUT's file name)");
  pack->callback([&ctx, args] {
    Mf3Header h = Mf3Header::Fresh();
    const std::string name = args->name.empty() ? BaseName(args->out) : Utf8ToCp1252(args->name);
    Mf3Status status = Mf3Status::Ok;
    if (WriteMf3(ctx.session(), args->in, args->out, name, h, &status) != 0) {
      return ctx.Fail((status == Mf3Status::CannotOpen ? args->in : args->out) + ": " +
                      Mf3StatusText(status));
    }
  });

  auto* unpack = mf3->add_subcommand("unpack", "decompress an MF3 file's payload");
  AddInOut(unpack, *args, "FILE", "OUT");
  unpack->callback([&ctx, args] {
    Mf3Header h;
    Mf3Status status = Mf3Status::Ok;
    if (DecodeMf3(ctx.session(), args->in, args->out, h, &status) != 0) {
      return ctx.Fail(args->in + ": " + Mf3StatusText(status));
    }
  });

  CLI::App* lzhuf = GetOrAddSubcommand(app, "lzhuf", "the bare LZHUF stream: 4-byte size, then the bits");

  auto* compress = lzhuf->add_subcommand("compress", "compress IN into the stream OUT");
  AddInOut(compress, *args, "IN", "OUT");
  // The bare stream commands make no session unless they fail: a settings file and a message table
  // are not needed to code a file, and starting without them keeps one call per file cheap. Their
  // outputs are whole or absent, but not synced: they are made again by running the command again.
  compress->callback([&ctx, args] { RunLzhufCommand(ctx, true, args->in, args->out); });

  auto* decompress = lzhuf->add_subcommand("decompress", "decompress the stream IN into OUT");
  AddInOut(decompress, *args, "IN", "OUT");
  decompress->callback([&ctx, args] { RunLzhufCommand(ctx, false, args->in, args->out); });
}

}  // namespace sondesk

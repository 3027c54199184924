#pragma once
// The 512-byte header at the start of every MF3 song: descriptive texts shown by the library and
// by the player, and the mixer settings the player applies while it plays.
//
// The struct holds the fields as they sit in the file (text fields are fixed byte arrays,
// NUL-terminated and zero-filled), so reading a header and writing it back changes nothing that
// was not changed on purpose; Serialize/Parse move it to and from the little-endian file layout.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sondesk {

class Session;

// How the player treats one MIDI channel (9 bytes in the file).
struct ChannelSetup {
  static constexpr std::size_t kSize = 9;
  static constexpr std::uint8_t kNone = 255;  // program/bank: the song has none on this channel

  std::uint8_t mode = 0;           // 0 plays; 1 notes at velocity 0; 2 velocity halved
  std::uint8_t program = 0;        // replaces every program change; kNone = none
  std::uint8_t bank = 0;           // replaces every bank select; kNone = none
  std::int8_t volumeOffset = 0;    // added to controller 7
  std::int8_t panOffset = 0;       // added to controller 10
  std::int8_t reverbOffset = 0;    // added to controller 91
  std::int8_t chorusOffset = 0;    // added to controller 93
  std::uint8_t velocityCurve = 0;  // 0 to 6
  std::int8_t transpose = 0;       // semitones, not on channel 10

  void Serialize(std::uint8_t* out) const;  // kSize bytes
  static ChannelSetup Parse(const std::uint8_t* in);
  bool operator==(const ChannelSetup&) const = default;
};

// The first value the song gives to four controllers of one channel (4 bytes in the file, in
// this order); kNone where the song sets none.
struct InitialControllers {
  static constexpr std::size_t kSize = 4;
  static constexpr std::uint8_t kNone = 255;

  std::uint8_t volume = 0;  // controller 7
  std::uint8_t pan = 0;     // controller 10
  std::uint8_t chorus = 0;  // controller 93
  std::uint8_t reverb = 0;  // controller 91

  void Serialize(std::uint8_t* out) const;
  static InitialControllers Parse(const std::uint8_t* in);
  bool operator==(const InitialControllers&) const = default;
};

// The six descriptive texts, as the library and the card catalogue handle them (Windows-1252).
struct Mf3Texts {
  std::string copyright, title, publisher, author, performer, genre;
  bool operator==(const Mf3Texts&) const = default;
};

struct Mf3Header {
  static constexpr std::size_t kSize = 512;
  static constexpr std::size_t kTextField = 32;      // 31 characters and the terminator
  static constexpr std::size_t kFileNameField = 48;  // 47 characters and the terminator
  static constexpr std::size_t kChannels = 16;
  static constexpr std::array<char, 4> kMagic = {'_', 'M', 'F', '3'};

  // File offsets.
  static constexpr std::size_t kOffMagic = 0, kOffFileSize = 4, kOffReserved1 = 8, kOffMidiSize = 12,
                               kOffReserved2 = 16, kOffFileName = 42, kOffCopyright = 90, kOffTitle = 122,
                               kOffPublisher = 154, kOffAuthor = 186, kOffPerformer = 218, kOffGenre = 250,
                               kOffTranspose = 282, kOffReserved3 = 283, kOffTempoOffset = 284,
                               kOffChannels = 286, kOffInitialControllers = 430, kOffReserved4 = 494;

  using Text = std::array<char, kTextField>;

  std::array<char, 4> magic{};
  std::uint32_t fileSize = 0;  // the whole file: header, size word and stream
  std::uint32_t reserved1 = 0;
  std::uint32_t midiSize = 0;  // the uncompressed payload, equal to the size word at offset 512
  std::array<std::uint8_t, 26> reserved2{};
  std::array<char, kFileNameField> fileName{};
  Text copyright{}, title{}, publisher{}, author{}, performer{}, genre{};
  std::int8_t transpose = 0;  // semitones on every channel but 10
  std::uint8_t reserved3 = 0;
  std::int16_t tempoOffset = 0;  // beats per minute added to every tempo
  std::array<ChannelSetup, kChannels> channels{};
  std::array<InitialControllers, kChannels> initialControllers{};
  std::array<std::uint8_t, 18> reserved4{};

  // The header a conversion starts from: magic set, every program, bank and initial controller
  // "none", everything else zero.
  static Mf3Header Fresh();

  bool HasMagic() const { return magic == kMagic; }

  void Serialize(std::uint8_t* out) const;  // kSize bytes
  std::array<std::uint8_t, kSize> Serialize() const;
  // Any 512 bytes parse; whether they are an MF3 header is HasMagic().
  static Mf3Header Parse(const std::uint8_t* in);
  // False when `bytes` is shorter than a header.
  static bool Parse(std::span<const std::uint8_t> bytes, Mf3Header& out);

  // Text fields: reading stops at the terminator or the field's end, whichever comes first;
  // writing cuts to the field's size less one and zero-fills the rest.
  std::string FileNameText() const { return FieldText(fileName); }
  void SetFileName(std::string_view text) { SetField(fileName, text); }
  Mf3Texts Texts() const;
  void SetTexts(const Mf3Texts& texts);

  template <std::size_t M>
  static std::string FieldText(const std::array<char, M>& field);
  template <std::size_t M>
  static void SetField(std::array<char, M>& field, std::string_view text);

  bool operator==(const Mf3Header&) const = default;
};

template <std::size_t M>
std::string Mf3Header::FieldText(const std::array<char, M>& field) {
  std::size_t n = 0;
  while (n < M && field[n] != '\0') ++n;
  return std::string(field.data(), n);
}

template <std::size_t M>
void Mf3Header::SetField(std::array<char, M>& field, std::string_view text) {
  field.fill('\0');
  const std::size_t n = text.size() < M - 1 ? text.size() : M - 1;
  for (std::size_t i = 0; i < n; ++i) field[i] = text[i];
}

// Reading and patching the header of a file on disk.
enum class Mf3HeaderStatus { Ok, CannotOpen, TooShort, NotMf3, CannotWrite };
const char* Mf3HeaderStatusText(Mf3HeaderStatus status);

// Reads the first 512 bytes of `path` without telling the user anything: for the card
// diagnostics and scans that report problems their own way.
Mf3HeaderStatus ReadMf3HeaderFile(const std::string& path, Mf3Header& header);

// The same for operations that stop on a bad file: a file that cannot be read, is shorter than a
// header or is not an MF3 file gets the shared "Cannot open %s" box. 0 success, 1 failure.
int ReadMf3Header(Session& session, const std::string& path, Mf3Header& header,
                  Mf3HeaderStatus* status = nullptr);

// Writes `header` over the first 512 bytes of the MF3 file at `path`; nothing else in the file
// changes. The file must already be an MF3 file of at least 512 bytes (a header is never put on
// another kind of file). Failures get "Cannot open %s" (not readable, not MF3) or
// "Cannot Create %s" (not writable). 0 success, 1 failure.
int WriteMf3Header(Session& session, const std::string& path, const Mf3Header& header,
                   Mf3HeaderStatus* status = nullptr);

// Read, replace the six texts (each cut to 31 characters), write back. 0 success, 1 failure.
int UpdateMf3HeaderTexts(Session& session, const std::string& path, const Mf3Texts& texts,
                         Mf3HeaderStatus* status = nullptr);

}  // namespace sondesk

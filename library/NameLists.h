#pragma once
// The name lists Artist.dat (performers) and genere.dat (categories) in the program folder, which
// keep the names of the library consistent, and the digits test the player's own search needs.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sondesk {

class Session;

inline constexpr const char* kArtistListName = "Artist.dat";
inline constexpr const char* kGenreListName = "genere.dat";
// Lines of a list are read up to this many characters.
inline constexpr std::size_t kNameListLineMax = 255;

// White space removed at both ends.
std::string Trim(std::string_view text);
void TrimInPlace(std::string& text);

// True when none of the first four characters of `text` is a decimal digit (a shorter text is
// tested over its length; an empty text passes). The player's search cannot find a song whose
// title, performer or category begins with digits.
bool PassesDigitsTest(std::string_view text);

// The non-empty trimmed lines of a list file, in file order; empty when the file cannot be read.
std::vector<std::string> ReadNameList(const std::string& path);
// True when a line equals `name` exactly (both trimmed, case-sensitive).
bool NameListHas(const std::vector<std::string>& lines, std::string_view name);
// The lines that contain any word of `name` (words split at single spaces; empty words, from two
// spaces in a row, match nothing rather than every line).
std::vector<std::string> NameListCandidates(const std::vector<std::string>& lines, std::string_view name);
// Appends `name` and a line feed, after a line feed of its own when the file's last line has none,
// so the new name never joins the last one. Creates a missing file. False when it cannot write.
bool AppendToNameList(const std::string& path, std::string_view name);

std::string ArtistListPath(const Session& session);
std::string GenreListPath(const Session& session);

// The name-list confirmation (DbInfoDlg) for `name` against the list at `listPath`: the user confirms
// the name (a typed name is then appended to the list) or picks a line of the list. The confirmed
// name, trimmed; nullopt when the user cancelled.
std::optional<std::string> ConfirmNameInList(Session& session, const std::string& listPath,
                                             const std::string& name);

// The check of one performer or category against its list when the setting asks for it: the name
// when it is in the list, else the outcome of the confirmation.
std::optional<std::string> CheckNameAgainstList(Session& session, const std::string& listPath,
                                                const std::string& name);

// The numeric-name warning (MessageDlg) naming `text`; the warning switch takes the state of its
// "Show this message again" box.
void ShowNumericNameWarning(Session& session, const std::string& text);

}  // namespace sondesk

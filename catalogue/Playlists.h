#pragma once
// The 16 playlists of the card: the list of playlists (new, rename, delete), the playlist being
// edited (add, move, delete songs), and the carry-over that keeps every playlist pointing at the
// same songs after the title index has been rebuilt. Every change is written to the card at once,
// each under the card's write lock (Catalogue::BeginWrite): refused, it changes nothing.

#include <string>
#include <vector>

#include "catalogue/Catalogue.h"

namespace sondesk {

// The playlist being edited: copies of card songs, 250 at most.
struct PlaylistEdit {
  std::string baseName;
  std::vector<SongEntry> songs;
};

// Rewrites PLAY1.PLL to PLAY16.PLL for the new title index: every entry moves to the new position
// of its song, and entries whose song left the card are removed. Works from the previous and the
// current title index image. Returns 1.
int CarryOverPlaylists(Catalogue& catalogue);

// Reads PLAYLIST.LST into the catalogue's playlist table and each playlist's song count. 0 when
// there is no PLAYLIST.LST (the table stays empty, nobody is told).
int ReadPlaylistIndex(Catalogue& catalogue);
// Writes the table to PLAYLIST.LST. 1 written.
int WritePlaylistIndex(Catalogue& catalogue);

// Reads a playlist into `edit` through the current title index image; entries whose song is not
// on the card are dropped. 1 read, 0 when the file cannot be read (told; the playlist is empty).
int LoadPlaylist(Catalogue& catalogue, const std::string& baseName, PlaylistEdit& edit);
// Writes `edit` to its file as positions in the current title index image. 1 written.
int SavePlaylist(Catalogue& catalogue, const PlaylistEdit& edit);

// Creates the playlist "New Playlist" with the smallest free number; refused (told) when all 16
// exist. The slot of the new playlist, or -1.
int NewPlaylist(Catalogue& catalogue);
// After the user confirmed, deletes the playlist of `slot` and its file. 1 deleted.
int DeletePlaylist(Catalogue& catalogue, int slot);
// Gives the playlist of `slot` the display name `text`, cut to 23 characters; an empty text
// changes nothing. 1 renamed.
int RenamePlaylist(Catalogue& catalogue, int slot, const std::string& text);

// Inserts copies of the given card songs, in that order, at `position` (the end when beyond it),
// and saves. Refused (told) when the playlist would pass 250 songs. 1 added.
int AddSongsToPlaylist(Catalogue& catalogue, PlaylistEdit& edit, const std::vector<std::size_t>& cardSongs,
                       std::size_t position);
// Moves the selected rows, in their order, to positions `target` onward (lowered so that they
// fit), the others keeping their order around them; saves. 1 moved.
int MovePlaylistSongs(Catalogue& catalogue, PlaylistEdit& edit, const std::vector<std::size_t>& rows,
                      std::size_t target);
// After the user confirmed, removes the selected rows and saves. 1 removed.
int DeletePlaylistSongs(Catalogue& catalogue, PlaylistEdit& edit, const std::vector<std::size_t>& rows);

}  // namespace sondesk

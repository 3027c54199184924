#pragma once
// The main window's command numbers, shared by the menus of every language and the toolbar.

namespace sondesk::cmd {

// Menu commands.
inline constexpr int kPrint = 40002;
inline constexpr int kSaveDatabase = 104;
inline constexpr int kImportFromPc = 40004;
inline constexpr int kImportFromFloppy = 40005;
inline constexpr int kImportFromInternet = 40008;
inline constexpr int kTransferToCard = 40007;
inline constexpr int kTransferFromCard = 40006;
inline constexpr int kChooseDownloadDir = 40025;
inline constexpr int kConnect = 40029;
inline constexpr int kFormatCard = 40003;
inline constexpr int kExit = 40032;
inline constexpr int kFind = 40011;
inline constexpr int kSelectAllLibrary = 40024;
inline constexpr int kSelectNotOnCard = 40043;
inline constexpr int kSelectNotOnLibrary = 40044;
inline constexpr int kEditInfo = 40012;
inline constexpr int kDeleteSong = 40014;
inline constexpr int kPlay = 40019;
inline constexpr int kStop = 40016;
inline constexpr int kMidiSetup = 40030;
inline constexpr int kIndexRegeneration = 40031;
inline constexpr int kPlaylist = 40018;
inline constexpr int kUpdateFirmware = 40028;
inline constexpr int kPlayerOptions = 40022;
inline constexpr int kProgramSettings = 40021;
inline constexpr int kCardReport = 40026;
inline constexpr int kAbout = 109;
inline constexpr int kWww = 129;
// Ours: the songbook PDF of a list.
inline constexpr int kSongbook = 40060;

// Toolbar buttons that carry numbers of their own; each runs the menu command beside it.
inline constexpr int kTbConnect = 1022;
inline constexpr int kTbDelete = 1018;
inline constexpr int kTbEditInfo = 1020;
inline constexpr int kTbPlaylist = 1019;
inline constexpr int kTbPlay = 1015;
inline constexpr int kTbStop = 1014;
inline constexpr int kTbToCard = 1006;
inline constexpr int kTbFromCard = 139;
inline constexpr int kTbSearch = 1004;

// The menu command a toolbar number stands for (a menu number stands for itself).
constexpr int MenuCommandOf(int id) {
  switch (id) {
    case kTbConnect:
      return kConnect;
    case kTbDelete:
      return kDeleteSong;
    case kTbEditInfo:
      return kEditInfo;
    case kTbPlaylist:
      return kPlaylist;
    case kTbPlay:
      return kPlay;
    case kTbStop:
      return kStop;
    case kTbToCard:
      return kTransferToCard;
    case kTbFromCard:
      return kTransferFromCard;
    case kTbSearch:
      return kFind;
    default:
      return id;
  }
}

}  // namespace sondesk::cmd

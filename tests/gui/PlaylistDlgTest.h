#pragma once
#include <QObject>

class PlaylistDlgTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void editsPlaylistsOnAVirtualPlayerCard();
  void editsPlaylistsOnACardReaderCard();
  void dialogWritesWaitForAnotherProgramOnAReaderCard();
  void dialogWritesWaitForAnotherProgramOnAPlayerCard();
  void printsPagesAsTheListHoldsThem();
  void printDialogChoosesTheListOnItsFace();
  void printCommandPrintsTheLibraryWithoutACard();
  void songbookOfADemoCard();
};

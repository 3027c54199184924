#pragma once
#include <QObject>

class MiscTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void printPagesFollowThePageGeometry();
  void progressWindowShowsTheRun();
  void progressWindowNeverCoversABox();
  void secondCopyRaisesTheFirst();
  void demoSongsAreKaraokeFiles();
  void fileFiltersTakeBothCases();
  void drivesAreDescribedByKindAndSize();
  void songsOnTheCommandLineAreKept();
  void progressWindowCancelsARunThatMayStop();
  void updateCommandAsksForTheFileAndTheVersion();
};

#pragma once
#include <QObject>

class PlaybackTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void playShowsThePageAndTheEndRestoresTheButtons();
  void stopRestoresTheButtonsAndPagesStepWithoutSound();
  void aCardSongPlaysFromACopy();
  void aSongWithoutPagesSaysSo();
  void midiSetupKeepsItsChoiceAndSoundsATestNote();
};

#pragma once
#include <QObject>

class CardFlowTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void songsGoToAFolderCardAndBack();
  void pollFollowsTheCardDrive();
  void cancelledPlayerStillShowsTheLibrary();
  void deleteKeyRemovesLibrarySongsAfterYes();
};

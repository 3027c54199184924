#pragma once
#include <QObject>

class DialogsTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void settingsDialogWritesEachKeyAtOnce();
  void searchNextAndSelectAll();
  void duplicateQuestionAnswersThroughDrops();
  void editInfoConfirmsNewPerformerIntoArtistList();
  void playerOptionsReadAndWriteSetupDat();
  void exportWritesTheChosenList();
};

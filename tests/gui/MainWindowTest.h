#pragma once
#include <QObject>

class MainWindowTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void toolbarFollowsTheSelection();
  void columnClicksSortTheList();
  void titlesOnBothListsGetIconFour();
  void noCardShowsNoDriveAndTheWarning();
  void selectsSongsNotOnTheOtherList();
  void menusAndPanesSpeakTheSettingsLanguage();
  void refreshesSixteenThousandSongsEach();
  void webQuestionOnlyWithAConfiguredSite();
  void keysAndNamesForEveryone();
};

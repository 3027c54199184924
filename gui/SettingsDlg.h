#pragma once
// Program settings: the card reader's drive, the parallel port and three switches. Every change is
// written to Sondesk.INI the moment it is made; OK and Cancel only close the dialog.

#include <QDialog>
#include <QVector>
#include <functional>

#include "gui/DriveList.h"

class QCheckBox;
class QComboBox;

namespace sondesk {

class Session;

class SettingsDlg : public QDialog {
  Q_OBJECT
 public:
  // `driveChanged` runs after a new card drive was stored (the main window reads the card again).
  SettingsDlg(Session& session, std::function<void()> driveChanged, QWidget* parent = nullptr);

  // For tests: the drive entries as listed (entry 0 is "No drive available").
  QComboBox* driveBox() const { return drive_; }
  void SetDriveChoices(const QVector<DriveChoice>& drives);

 private:
  void FillDrives(const QVector<DriveChoice>& drives);
  void OnDriveChosen(int index);

  Session& session_;
  std::function<void()> driveChanged_;
  QComboBox* drive_;
  QComboBox* port_;
  QCheckBox* category_;
  QCheckBox* interpret_;
  QCheckBox* internet_;
  QVector<DriveChoice> drives_;
  QString storedDrive_;
  bool filling_ = false;
};

}  // namespace sondesk

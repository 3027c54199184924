#pragma once
// Midi Setup: the SoundFont, the audio driver and the volume of PC playback, with a test note, and
// a way to the desktop's own sound settings.

#include <QDialog>

#include "app/Session.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

namespace sondesk {

class SynthPlayer;

class MidiSetupDlg : public QDialog {
  Q_OBJECT
 public:
  // `player` sounds the test note (the program's own player, so a song playing stops for it).
  MidiSetupDlg(Session& session, SynthPlayer& player, QWidget* parent = nullptr);

  // The dialog's choice as the player takes it.
  std::string soundFont() const;
  std::string audioDriver() const;
  int gain() const;
  // Plays a short chord with the choice; false (and the reason shown in the dialog) when it cannot.
  bool PlayTestNote();
  QString statusText() const;

  // Starts the desktop's sound settings; false when none of the known ones is installed.
  static bool OpenDesktopSoundSettings();

  void accept() override;

 private:
  Session& session_;
  SynthPlayer& player_;
  QLineEdit* soundFont_ = nullptr;
  QComboBox* driver_ = nullptr;
  QSlider* gain_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace sondesk

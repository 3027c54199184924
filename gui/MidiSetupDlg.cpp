#include "gui/MidiSetupDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "gui/MenuTexts.h"
#include "gui/Text.h"
#include "midi/SynthPlayer.h"

namespace sondesk {

namespace {

struct Words {
  const char* title;
  const char* soundFont;
  const char* browse;
  const char* driver;
  const char* automatic;
  const char* gain;
  const char* test;
  const char* desktop;
  const char* systemFont;
};

const Words kWords[kLanguageCount] = {
    {"Impostazioni MIDI", "SoundFont:", "Sfoglia...", "Uscita audio:", "automatica (server audio, poi ALSA)",
     "Volume:", "Nota di prova", "Impostazioni audio del desktop...", "SoundFont General MIDI del sistema"},
    {"Midi Setup", "SoundFont:", "Browse...", "Audio output:", "automatic (sound server, then ALSA)",
     "Volume:", "Test note", "Desktop sound settings...", "the system's General MIDI SoundFont"},
    {"Configuration MIDI", "SoundFont :", "Parcourir...",
     "Sortie audio :", "automatique (serveur de son, puis ALSA)", "Volume :", "Note de test",
     "Réglages du son du bureau...", "SoundFont General MIDI du système"},
    {"MIDI-Einstellungen", "SoundFont:", "Durchsuchen...",
     "Audioausgabe:", "automatisch (Soundserver, dann ALSA)", "Lautstärke:", "Testton",
     "Klangeinstellungen des Desktops...", "General-MIDI-SoundFont des Systems"},
    {"Configuración MIDI", "SoundFont:", "Examinar...",
     "Salida de audio:", "automática (servidor de sonido, luego ALSA)", "Volumen:", "Nota de prueba",
     "Configuración de sonido del escritorio...", "SoundFont General MIDI del sistema"},
};

// A C major chord of half a second on the piano.
std::vector<std::uint8_t> TestChord() {
  static const std::uint8_t kFile[] = {'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,    0,    0,
                                       1,    0x01, 0xE0, 'M',  'T',  'r',  'k',  0,    0,    0,    32,
                                       0x00, 0xC0, 0x00, 0x00, 0x90, 60,   100,  0x00, 0x90, 64,   100,
                                       0x00, 0x90, 67,   100,  0x83, 0x60, 0x80, 60,   64,   0x00, 0x80,
                                       64,   64,   0x00, 0x80, 67,   64,   0x00, 0xFF, 0x2F, 0x00};
  static_assert(sizeof kFile == 22 + 32);
  return std::vector<std::uint8_t>(std::begin(kFile), std::end(kFile));
}

}  // namespace

MidiSetupDlg::MidiSetupDlg(Session& session, SynthPlayer& player, QWidget* parent)
    : QDialog(parent), session_(session), player_(player) {
  setObjectName("MidiSetupDlg");
  const int l = session.messages().language();
  const Words& w = kWords[l >= 0 && l < kLanguageCount ? l : 1];
  setWindowTitle(QString::fromUtf8(w.title));
  const Settings& s = session.settings();

  auto* form = new QFormLayout;
  auto* fontRow = new QHBoxLayout;
  soundFont_ = new QLineEdit(PathQ(s.soundFont), this);
  soundFont_->setObjectName("soundFont");
  std::string why;
  const std::string found = FindSoundFont("", why);
  soundFont_->setPlaceholderText(
      QString::fromUtf8(w.systemFont) +
      (found.empty() ? QString() : QStringLiteral(" (") + PathQ(found) + QLatin1Char(')')));
  soundFont_->setMinimumWidth(520);
  auto* browse = new QPushButton(QString::fromUtf8(w.browse), this);
  browse->setObjectName("browse");
  fontRow->addWidget(soundFont_, 1);
  fontRow->addWidget(browse);
  form->addRow(QString::fromUtf8(w.soundFont), fontRow);

  driver_ = new QComboBox(this);
  driver_->setObjectName("audioDriver");
  driver_->addItem(QString::fromUtf8(w.automatic), QString());
  for (const char* d : {"pulseaudio", "pipewire", "alsa", "jack", "sdl2", "oss", "file"})
    driver_->addItem(QString::fromLatin1(d), QString::fromLatin1(d));
  const int at = driver_->findData(QString::fromStdString(s.audioDriver));
  if (at >= 0) {
    driver_->setCurrentIndex(at);
  } else {
    driver_->addItem(QString::fromStdString(s.audioDriver), QString::fromStdString(s.audioDriver));
    driver_->setCurrentIndex(driver_->count() - 1);
  }
  form->addRow(QString::fromUtf8(w.driver), driver_);

  gain_ = new QSlider(Qt::Horizontal, this);
  gain_->setObjectName("gain");
  gain_->setRange(0, 100);
  gain_->setValue(std::clamp(s.midiGain, 0, 100));
  form->addRow(QString::fromUtf8(w.gain), gain_);

  status_ = new QLabel(this);
  status_->setObjectName("status");
  status_->setWordWrap(true);

  auto* test = new QPushButton(QString::fromUtf8(w.test), this);
  test->setObjectName("testNote");
  auto* desktop = new QPushButton(QString::fromUtf8(w.desktop), this);
  desktop->setObjectName("desktopSound");
  auto* actions = new QHBoxLayout;
  actions->addWidget(test);
  actions->addWidget(desktop);
  actions->addStretch(1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancel");

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(actions);
  layout->addWidget(status_);
  layout->addWidget(buttons);

  connect(browse, &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getOpenFileName(this, QString(), soundFont_->text(),
                                                   QStringLiteral("SoundFont (*.sf2 *.sf3 *.SF2 *.SF3)"));
    if (!f.isEmpty()) soundFont_->setText(f);
  });
  connect(test, &QPushButton::clicked, this, [this] { PlayTestNote(); });
  connect(desktop, &QPushButton::clicked, this, [this] {
    if (!OpenDesktopSoundSettings()) status_->setText(QStringLiteral("The specified file was not found. "));
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::string MidiSetupDlg::soundFont() const {
  return PathStd(soundFont_->text().trimmed());
}
std::string MidiSetupDlg::audioDriver() const {
  return driver_->currentData().toString().toStdString();
}
int MidiSetupDlg::gain() const {
  return gain_->value();
}
QString MidiSetupDlg::statusText() const {
  return status_->text();
}

bool MidiSetupDlg::PlayTestNote() {
  SynthOptions o = SynthOptions::FromSettings(session_.settings(), session_.workDir());
  o.soundFont = soundFont();
  o.audioDriver = audioDriver();
  o.gain = gain() / 100.0;
  if (!player_.Play(TestChord(), o)) {
    status_->setText(QString::fromStdString(player_.lastError()));
    return false;
  }
  status_->setText(PathQ(player_.soundFontInUse()) + QStringLiteral(" \u2192 ") +
                   QString::fromStdString(player_.driverInUse()));
  return true;
}

bool MidiSetupDlg::OpenDesktopSoundSettings() {
  static const char* const candidates[][2] = {{"pavucontrol", ""},
                                              {"gnome-control-center", "sound"},
                                              {"systemsettings", "kcm_pulseaudio"},
                                              {"xfce4-mixer", ""},
                                              {"mate-volume-control", ""}};
  for (const auto& c : candidates) {
    QStringList args;
    if (c[1][0] != '\0') args << QString::fromLatin1(c[1]);
    if (QProcess::startDetached(QString::fromLatin1(c[0]), args)) return true;
  }
  return false;
}

void MidiSetupDlg::accept() {
  Settings& s = session_.settings();
  s.WriteString("Midi", "SoundFont", soundFont());
  s.WriteString("Midi", "AudioDriver", audioDriver());
  s.WriteInt("Midi", "Gain", gain());
  QDialog::accept();
}

}  // namespace sondesk

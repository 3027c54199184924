#include "gui/OptionsDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "catalogue/Catalogue.h"
#include "catalogue/PlayerOptions.h"
#include "catalogue/SetupFile.h"
#include "gui/Text.h"

namespace sondesk {

namespace {
// The rows in the order the player's manual lists them (not the order of the bytes).
constexpr std::size_t kRowOrder[] = {0, 1, 2, 3, 4, 5, 6, 11, 10, 9, 8};
}  // namespace

OptionsDlg::OptionsDlg(Catalogue& catalogue, QWidget* parent) : QDialog(parent), catalogue_(catalogue) {
  setObjectName("OptionsDlg");
  Session& s = catalogue.session();
  setWindowTitle(Msg(s, 219));
  setModal(true);
  // EnableRoll is read each time, so a hand edit of the settings takes effect without a restart.
  Settings fresh(s.settings().iniPath());
  fresh.Load();
  const bool enableRoll = fresh.enableRoll != 0;

  s.BusyCursorOn();
  opened_ = ReadPlayerOptions(catalogue) == 1;
  s.BusyCursorOff();
  if (!opened_) return;

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(12);
  int row = 0;
  for (std::size_t byte : kRowOrder) {
    const PlayerSetting* setting = nullptr;
    for (const PlayerSetting& p : PlayerSettings()) {
      if (p.byte == byte) setting = &p;
    }
    if (setting == nullptr) continue;
    auto* list = new QComboBox(this);
    list->setObjectName(QStringLiteral("option%1").arg(byte));
    for (const std::string& v : PlayerSettingValues(*setting, s.messages(), enableRoll)) list->addItem(Q(v));
    const int index = catalogue.options.bytes[byte];
    // A stored value the list does not offer shows no choice and is written back as it was.
    list->setCurrentIndex(index < list->count() ? index : -1);
    grid->addWidget(list, row, 0);
    grid->addWidget(new QLabel(Msg(s, setting->labelMessage), this), row, 1);
    lists_.emplace_back(byte, list);
    ++row;
  }
  grid->setColumnStretch(1, 1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* cancel = buttons->addButton(Literal(Msg(s, 262)), QDialogButtonBox::RejectRole);
  cancel->setObjectName("cancel");
  QPushButton* ok = buttons->addButton(Literal(Msg(s, 261)), QDialogButtonBox::AcceptRole);
  ok->setObjectName("ok");
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &OptionsDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 14);
  layout->addLayout(grid);
  layout->addSpacing(8);
  layout->addWidget(buttons);
}

QComboBox* OptionsDlg::listOf(std::size_t byte) const {
  for (const auto& [b, list] : lists_) {
    if (b == byte) return list;
  }
  return nullptr;
}

void OptionsDlg::accept() {
  for (const auto& [byte, list] : lists_) {
    if (list->currentIndex() >= 0)
      catalogue_.options.bytes[byte] = static_cast<std::uint8_t>(list->currentIndex());
  }
  Session& s = catalogue_.session();
  s.BusyCursorOn();
  const bool written = WritePlayerOptions(catalogue_) == 1;
  s.BusyCursorOff();
  // Not written (another program holds the card, or the write failed; the user was told): the
  // choices stay on screen for OK again or Cancel.
  if (written) QDialog::accept();
}

}  // namespace sondesk

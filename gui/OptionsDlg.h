#pragma once
// The player's own options (SETUP.DAT on the card): one drop-down list per setting, written back
// to the card on OK.

#include <QDialog>
#include <vector>

class QComboBox;

namespace sondesk {

class Catalogue;

class OptionsDlg : public QDialog {
  Q_OBJECT
 public:
  OptionsDlg(Catalogue& catalogue, QWidget* parent = nullptr);

  // False when SETUP.DAT could not be read: the dialog is then not to be run.
  bool opened() const { return opened_; }
  // The list of the setting kept in `byte` of the record, or nullptr.
  QComboBox* listOf(std::size_t byte) const;

 protected:
  void accept() override;

 private:
  Catalogue& catalogue_;
  bool opened_ = false;
  std::vector<std::pair<std::size_t, QComboBox*>> lists_;
};

}  // namespace sondesk

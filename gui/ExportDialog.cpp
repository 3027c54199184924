#include "gui/ExportDialog.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QRadioButton>
#include <QTreeView>

#include "app/Session.h"
#include "gui/QtUi.h"
#include "gui/Text.h"

namespace sondesk {

QWidget* MakeListChoice(QWidget* parent) {
  auto* box = new QWidget(parent);
  box->setObjectName("listChoice");
  auto* hardDisk = new QRadioButton(QStringLiteral("Hard Disk"), box);
  hardDisk->setObjectName("hardDisk");
  auto* sonFlash = new QRadioButton(QStringLiteral("Son Flash"), box);
  sonFlash->setObjectName("sonFlash");
  sonFlash->setChecked(true);
  auto* group = new QButtonGroup(box);
  group->addButton(hardDisk);
  group->addButton(sonFlash);
  auto* l = new QHBoxLayout(box);
  l->setContentsMargins(0, 4, 0, 4);
  l->setSpacing(24);
  l->addWidget(hardDisk);
  l->addWidget(sonFlash);
  l->addStretch(1);
  return box;
}

bool ListChoiceIsLibrary(const QWidget* choice) {
  const auto* hardDisk = choice->findChild<QRadioButton*>(QStringLiteral("hardDisk"));
  return hardDisk != nullptr && hardDisk->isChecked();
}

QFileDialog* MakeExportDialog(const Session& session, QWidget* parent) {
  auto* dlg = new QFileDialog(parent, Msg(session, 3));
  dlg->setObjectName("ExportDialog");
  // Qt's own dialog, because the list choice lives inside it.
  dlg->setOption(QFileDialog::DontUseNativeDialog, true);
  dlg->setAcceptMode(QFileDialog::AcceptSave);
  dlg->setFileMode(QFileDialog::AnyFile);
  dlg->setNameFilter(QtUi::QtFilter(session.Text(129) + "|*.TXT"));
  dlg->setDefaultSuffix(QStringLiteral("TXT"));
  dlg->setDirectory(PathQ(session.libraryDir()));
  dlg->selectFile(QString::fromLatin1(kExportDefaultName));
  // Qt's detail columns are fixed in width; the headings of some languages would be cut.
  if (auto* details = dlg->findChild<QTreeView*>(QStringLiteral("treeView"))) {
    for (int c = 1; c < 4; ++c) details->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  }
  dlg->resize(820, 540);
  if (auto* grid = qobject_cast<QGridLayout*>(dlg->layout())) {
    grid->addWidget(MakeListChoice(dlg), grid->rowCount(), 0, 1, grid->columnCount());
  }
  return dlg;
}

std::optional<ExportChoice> AskExportFile(const Session& session, QWidget* parent) {
  QFileDialog* dlg = MakeExportDialog(session, parent);
  std::optional<ExportChoice> out;
  if (dlg->exec() == QDialog::Accepted && !dlg->selectedFiles().isEmpty()) {
    ExportChoice c;
    c.path = PathStd(dlg->selectedFiles().first());
    const QWidget* choice = dlg->findChild<QWidget*>(QStringLiteral("listChoice"));
    c.list = (choice != nullptr && ListChoiceIsLibrary(choice)) ? ExportList::Library : ExportList::Card;
    out = c;
  }
  delete dlg;
  return out;
}

}  // namespace sondesk

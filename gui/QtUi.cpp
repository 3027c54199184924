#include "gui/QtUi.h"

#include <QApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "app/Session.h"
#include "gui/DbInfoDlg.h"
#include "gui/DupFileDlg.h"
#include "gui/MessageDlg.h"
#include "gui/ProgressDialog.h"
#include "gui/Text.h"

namespace sondesk {

QtUi::QtUi() {
  sinceLastPump_.start();
}

QtUi::~QtUi() {
  delete progress_.data();
}

void QtUi::SetOwner(QWidget* owner) {
  owner_ = owner;
  delete progress_.data();
  progress_ = new ProgressDialog(owner);
}

QWidget* QtUi::owner() const {
  // A box asked while another dialog is up belongs to that dialog, so it stays above it.
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return owner_.data();
}

void QtUi::SetStatusSink(StatusSink sink) {
  sink_ = std::move(sink);
  if (!sink_) return;
  for (const auto& [pane, text] : pendingPanes_) sink_(pane, text);
  pendingPanes_.clear();
}

namespace {
// The progress window out of the way of a box for as long as the box is up.
class ProgressAside {
 public:
  explicit ProgressAside(ProgressDialog* p) : p_(p) {
    if (p_) p_->StepAside();
  }
  ~ProgressAside() {
    if (p_) p_->ComeBack();
  }
  ProgressAside(const ProgressAside&) = delete;
  ProgressAside& operator=(const ProgressAside&) = delete;

 private:
  QPointer<ProgressDialog> p_;
};
}  // namespace

BoxAnswer QtUi::ShowBox(const std::string& text, const std::string& title, BoxIcon icon, BoxButtons buttons) {
  ProgressAside aside(progress_.data());
  QMessageBox box(owner());
  box.setObjectName("MessageBox");
  box.setWindowTitle(Q(title));
  box.setText(Q(text));
  box.setTextFormat(Qt::PlainText);
  switch (icon) {
    case BoxIcon::Stop:
      box.setIcon(QMessageBox::Critical);
      break;
    case BoxIcon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case BoxIcon::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case BoxIcon::Info:
      box.setIcon(QMessageBox::Information);
      break;
    case BoxIcon::None:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  switch (buttons) {
    case BoxButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case BoxButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case BoxButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case BoxButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
    case BoxButtons::RetryCancel:
      box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
      break;
  }
  if (cautiousDefault_) {
    if (QAbstractButton* no = box.button(QMessageBox::No)) box.setDefaultButton(qobject_cast<QPushButton*>(no));
    else if (QAbstractButton* cancel = box.button(QMessageBox::Cancel))
      box.setDefaultButton(qobject_cast<QPushButton*>(cancel));
  }
  const bool wasBusy = QApplication::overrideCursor() != nullptr;
  // A question is answered with the arrow, whatever the operation behind it shows.
  if (wasBusy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int r = box.exec();
  if (wasBusy) QApplication::restoreOverrideCursor();
  switch (r) {
    case QMessageBox::Ok:
      return BoxAnswer::Ok;
    case QMessageBox::Yes:
      return BoxAnswer::Yes;
    case QMessageBox::No:
      return BoxAnswer::No;
    case QMessageBox::Retry:
      return BoxAnswer::Retry;
    default:
      break;
  }
  // Closing the box by its frame or with Escape.
  if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
  if (buttons == BoxButtons::YesNo) return BoxAnswer::No;
  return BoxAnswer::Cancel;
}

BoxAnswer QtUi::AskErase(const std::string& text, const std::string& title, BoxIcon icon, BoxButtons buttons) {
  cautiousDefault_ = true;
  const BoxAnswer answer = ShowBox(text, title, icon, buttons);
  cautiousDefault_ = false;
  return answer;
}

DuplicateAnswer QtUi::AskDuplicate(const std::string& text) {
  ProgressAside aside(progress_.data());
  DupFileDlg dlg(*session_, Q(text), owner());
  dlg.exec();
  return dlg.answer();
}

NameListAnswer QtUi::ConfirmListName(const std::string& name, const std::vector<std::string>& candidates) {
  QStringList lines;
  for (const std::string& c : candidates) lines << Q(c);
  ProgressAside aside(progress_.data());
  DbInfoDlg dlg(*session_, Q(name), lines, owner());
  dlg.exec();
  NameListAnswer answer;
  answer.confirmed = dlg.confirmed();
  answer.name = ToCp1252(dlg.name());
  answer.pickedFromList = dlg.pickedFromList();
  return answer;
}

bool QtUi::ShowWarningWithCheck(const std::string& text, const std::string& checkText,
                                const std::string& title) {
  ProgressAside aside(progress_.data());
  MessageDlg dlg(*session_, Q(text), Q(checkText), Q(title), owner());
  dlg.exec();
  return dlg.showAgain();
}

void QtUi::BusyCursor(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else if (QApplication::overrideCursor() != nullptr) {
    QApplication::restoreOverrideCursor();
  }
}

void QtUi::SetStatusPane(int pane, const std::string& text) {
  if (sink_) {
    sink_(pane, Q(text));
  } else {
    pendingPanes_.emplace_back(pane, Q(text));
  }
}

QString QtUi::QtFilter(const std::string& filter) {
  if (filter.empty()) return {};
  std::vector<std::string> parts;
  std::string cur;
  for (char c : filter) {
    if (c == '|' || c == '\0') {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  QStringList filters;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& p : Q(parts[i + 1]).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      patterns << p.trimmed().toUpper() << p.trimmed().toLower();
    }
    patterns.removeDuplicates();
    QString description = Q(parts[i]);
    // The description may already name its patterns; Qt takes the patterns from the last brackets.
    const qsizetype bracket = description.indexOf(QLatin1Char('('));
    if (bracket > 0) description = description.left(bracket).trimmed();
    filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
  }
  if (filters.isEmpty() && filter.find('(') != std::string::npos) {
    // Already in Qt's form: "DESCRIPTION (*.A *.B)".
    return Q(filter);
  }
  if (filters.isEmpty()) {
    // A bare pattern list.
    QStringList patterns;
    for (const QString& p : Q(filter).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      patterns << p.trimmed().toUpper() << p.trimmed().toLower();
    }
    patterns.removeDuplicates();
    filters << patterns.join(QLatin1Char(' '));
  }
  return filters.join(QLatin1String(";;"));
}

std::optional<std::vector<std::string>> QtUi::PickOpenFiles(const std::string& title,
                                                            const std::string& startDir,
                                                            const std::string& filter) {
  const QStringList files =
      QFileDialog::getOpenFileNames(owner(), Q(title), PathQ(startDir), QtFilter(filter));
  if (files.isEmpty()) return std::nullopt;
  std::vector<std::string> out;
  for (const QString& f : files) out.push_back(PathStd(f));
  return out;
}

std::optional<std::string> QtUi::PickSaveFile(const std::string& title, const std::string& startPath,
                                              const std::string& filter) {
  const QString file = QFileDialog::getSaveFileName(owner(), Q(title), PathQ(startPath), QtFilter(filter));
  if (file.isEmpty()) return std::nullopt;
  return PathStd(file);
}

std::optional<std::string> QtUi::PickFolder(const std::string& title, const std::string& startDir) {
  const QString dir = QFileDialog::getExistingDirectory(owner(), Q(title), PathQ(startDir));
  if (dir.isEmpty()) return std::nullopt;
  return PathStd(dir);
}

void QtUi::OpenExternal(const std::string& urlOrPath) {
  const QString s = PathQ(urlOrPath);
  const QUrl url =
      QFileInfo::exists(s) ? QUrl::fromLocalFile(QFileInfo(s).absoluteFilePath()) : QUrl::fromUserInput(s);
  QDesktopServices::openUrl(url);
}

void QtUi::DebugLine(const std::string& text) {
  // The trace of the link and the card is for whoever asks for it.
  static const bool wanted = qEnvironmentVariableIsSet("SONDESK_DEBUG");
  if (wanted) qDebug().noquote() << Q(text);
}

void QtUi::ProgressOpen() {
  if (progress_ == nullptr) progress_ = new ProgressDialog(owner_.data());
  progress_->Open(progressDelayMs_);
}

void QtUi::ProgressClose() {
  if (progress_ != nullptr) progress_->Close();
}

void QtUi::ProgressSetRange(std::uint32_t maximum) {
  if (progress_ != nullptr) progress_->SetRange(maximum);
}

void QtUi::ProgressSetPosition(std::uint32_t position) {
  if (progress_ != nullptr) progress_->SetPosition(position);
}

void QtUi::ProgressSetLine(int line, const std::string& text) {
  if (progress_ != nullptr) progress_->SetLine(line, Q(text));
}

void QtUi::ProgressSetCancellable(bool on) {
  if (progress_ != nullptr) progress_->SetCancellable(on);
}

bool QtUi::ProgressCancelRequested() {
  return progress_ != nullptr && progress_->cancelRequested();
}

void QtUi::Pump() {
  // Operations step thousands of times (a sector at a time over the link); letting events through
  // every few milliseconds keeps the window alive without making the operation wait on it.
  if (sinceLastPump_.elapsed() < 15) return;
  sinceLastPump_.restart();
  QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace sondesk

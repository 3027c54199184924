#include "app/ScriptedUi.h"

namespace sondesk {

namespace {
BoxAnswer DefaultAnswer(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::Ok: return BoxAnswer::Ok;
    case BoxButtons::OkCancel: return BoxAnswer::Ok;
    case BoxButtons::YesNo: return BoxAnswer::Yes;
    case BoxButtons::YesNoCancel: return BoxAnswer::Yes;
    case BoxButtons::RetryCancel: return BoxAnswer::Cancel;
  }
  return BoxAnswer::Ok;
}
}  // namespace

BoxAnswer ScriptedUi::ShowBox(const std::string& text, const std::string& title, BoxIcon icon, BoxButtons buttons) {
  BoxAnswer a = DefaultAnswer(buttons);
  if (!boxAnswers.empty() && buttons != BoxButtons::Ok) {
    a = boxAnswers.front();
    boxAnswers.pop_front();
  }
  boxes.push_back({text, title, icon, buttons, a});
  return a;
}

DuplicateAnswer ScriptedUi::AskDuplicate(const std::string& text) {
  duplicateQuestions.push_back(text);
  if (duplicateAnswers.empty()) return DuplicateAnswer::ModifyName;
  const DuplicateAnswer a = duplicateAnswers.front();
  duplicateAnswers.pop_front();
  return a;
}

NameListAnswer ScriptedUi::ConfirmListName(const std::string& name, const std::vector<std::string>&) {
  nameListQuestions.push_back(name);
  if (nameListAnswers.empty()) return NameListAnswer{true, name, false};
  NameListAnswer a = nameListAnswers.front();
  nameListAnswers.pop_front();
  return a;
}

bool ScriptedUi::ShowWarningWithCheck(const std::string& text, const std::string&, const std::string&) {
  warnings.push_back(text);
  if (warningCheckAnswers.empty()) return true;
  const bool a = warningCheckAnswers.front();
  warningCheckAnswers.pop_front();
  return a;
}

std::optional<std::vector<std::string>> ScriptedUi::PickOpenFiles(const std::string&, const std::string&,
                                                                  const std::string&) {
  if (openFilesAnswers.empty()) return std::nullopt;
  auto a = openFilesAnswers.front();
  openFilesAnswers.pop_front();
  return a;
}

std::optional<std::string> ScriptedUi::PickSaveFile(const std::string&, const std::string&, const std::string&) {
  if (saveFileAnswers.empty()) return std::nullopt;
  auto a = saveFileAnswers.front();
  saveFileAnswers.pop_front();
  return a;
}

std::optional<std::string> ScriptedUi::PickFolder(const std::string&, const std::string&) {
  if (folderAnswers.empty()) return std::nullopt;
  auto a = folderAnswers.front();
  folderAnswers.pop_front();
  return a;
}

void ScriptedUi::ProgressOpen() {
  ++progressOpens;
  progressIsOpen = true;
}

void ScriptedUi::ProgressClose() {
  ++progressCloses;
  progressIsOpen = false;
}

void ScriptedUi::ProgressSetLine(int line, const std::string& text) {
  progressLines.push_back(std::to_string(line) + ":" + text);
}

bool ScriptedUi::Shown(const std::string& text) const { return CountShown(text) > 0; }

bool ScriptedUi::ShownContaining(const std::string& part) const {
  for (const Box& b : boxes) {
    if (b.text.find(part) != std::string::npos) return true;
  }
  return false;
}

int ScriptedUi::CountShown(const std::string& text) const {
  int n = 0;
  for (const Box& b : boxes) n += b.text == text ? 1 : 0;
  return n;
}

std::string ScriptedUi::LastStatus(int pane) const {
  for (auto it = statusPanes.rbegin(); it != statusPanes.rend(); ++it) {
    if (it->first == pane) return it->second;
  }
  return "";
}

}  // namespace sondesk

#include "support/scripted_window_system.h"

namespace qv::shell {

Reply ScriptedWindowSystem::ShowMessage(const MessageRequest& request) {
  calls_.push_back({Kind::kMessage, request, {}, {}, {}, {}});
  if (on_message_) on_message_(request);
  if (request.buttons == Buttons::kOk) return Reply::kOk;
  if (replies_.empty()) {
    ++unscripted_;
    return request.buttons == Buttons::kSkipRowsSkipTableStop ? Reply::kStop : Reply::kNo;
  }
  const Reply reply = replies_.front();
  replies_.pop_front();
  return reply;
}

QString ScriptedWindowSystem::NextText() {
  if (texts_.empty()) {
    ++unscripted_;
    return {};
  }
  QString text = texts_.front();
  texts_.pop_front();
  return text;
}

QString ScriptedWindowSystem::AskText(const QString& prompt, const QString& title,
                                      const QString& default_answer) {
  calls_.push_back({Kind::kInput, {}, prompt, title, default_answer, {}});
  return NextText();
}

QString ScriptedWindowSystem::ChooseOpenFile(const QString& title, const QString& filter_list) {
  calls_.push_back({Kind::kOpenFile, {}, title, {}, {}, filter_list});
  return NextText();
}

QString ScriptedWindowSystem::ChooseFolder(const QString& title) {
  calls_.push_back({Kind::kFolder, {}, title, {}, {}, {}});
  return NextText();
}

std::vector<MessageRequest> ScriptedWindowSystem::messages() const {
  std::vector<MessageRequest> out;
  for (const Call& call : calls_) {
    if (call.kind == Kind::kMessage) out.push_back(call.message);
  }
  return out;
}

}  // namespace qv::shell

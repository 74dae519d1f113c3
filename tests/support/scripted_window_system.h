// A window system for tests and for the tools that drive the pages without a person: it records
// every request and answers from a script, so handlers and operations run without a window or a
// modal dialog.
#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "shell/window_system.h"

namespace qv::shell {

class ScriptedWindowSystem : public WindowSystem {
 public:
  enum class Kind { kMessage, kInput, kOpenFile, kFolder };
  struct Call {
    Kind kind;
    MessageRequest message;  // kMessage
    QString prompt;          // kInput: the prompt; kOpenFile, kFolder: the title
    QString title;           // kInput: the title
    QString default_answer;  // kInput
    QString filter_list;     // kOpenFile
  };

  // Answers are taken in order; a request without a scripted answer gets the "cancel" answer
  // (No, OK, Stop, the empty text) and is counted in unscriptedCount().
  void QueueReply(Reply reply) { replies_.push_back(reply); }
  void QueueText(const QString& text) { texts_.push_back(text); }
  // Runs before each message box returns, for tests that look at the program while it waits.
  void OnMessage(std::function<void(const MessageRequest&)> hook) { on_message_ = std::move(hook); }

  Reply ShowMessage(const MessageRequest& request) override;
  QString AskText(const QString& prompt, const QString& title, const QString& default_answer) override;
  QString ChooseOpenFile(const QString& title, const QString& filter_list) override;
  QString ChooseFolder(const QString& title) override;
  void Yield() override { ++yields_; }

  const std::vector<Call>& calls() const { return calls_; }
  std::vector<MessageRequest> messages() const;
  int yieldCount() const { return yields_; }
  int unscriptedCount() const { return unscripted_; }
  void Clear() { calls_.clear(); }

 private:
  QString NextText();

  std::deque<Reply> replies_;
  std::deque<QString> texts_;
  std::function<void(const MessageRequest&)> on_message_;
  std::vector<Call> calls_;
  int yields_ = 0;
  int unscripted_ = 0;
};

}  // namespace qv::shell

// The prompt interface (platform/prompt.h) on QMessageBox: a box without owner, with the caption
// of the request (empty when it has none), OK or Yes/No with No preselected (Escape and closing
// the box also answer No), kept above other windows when the request asks for it. A prompt asked
// from a worker thread is shown on the GUI thread while the worker waits for the answer; after
// Release (shutdown) a worker's prompt answers at once (OK, or No) so a thread being joined never
// hangs on a box.
//
// Tests and unattended runs answer boxes through an interceptor: it receives the box fully set up
// (buttons, default, caption, flags) on the GUI thread, and its answer replaces running the box.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

#include "platform/prompt.h"
#include "ui/skin/gui_thread.h"

namespace orvane {

class QtPrompt : public IPrompt {
 public:
  // Sees the box before it runs; an answer replaces running it, nothing lets it run.
  using Interceptor = std::function<std::optional<PromptAnswer>(QMessageBox& box, const PromptRequest& request)>;

  // gui: an object of the GUI thread (the application object when null).
  explicit QtPrompt(QObject* gui = nullptr);
  ~QtPrompt() override;

  PromptAnswer Show(const PromptRequest& request) override;

  // After this, prompts asked from other threads answer at once without a box.
  void Release();

  // This prompt's interceptor, else the process-wide one.
  void SetInterceptor(Interceptor interceptor) { interceptor_ = std::move(interceptor); }
  static void SetGlobalInterceptor(Interceptor interceptor);

  // The box as Show sets it up (not yet shown). The caller owns it.
  static std::unique_ptr<QMessageBox> MakeBox(const PromptRequest& request);
  // The answer a finished box gives for the button that closed it.
  static PromptAnswer AnswerOf(const QMessageBox& box, const PromptRequest& request);
  // What a prompt answers when no box can be shown.
  static PromptAnswer DefaultAnswer(const PromptRequest& request);

 private:
  Interceptor interceptor_;
  std::unique_ptr<GuiThreadCaller> caller_;
};

}  // namespace orvane

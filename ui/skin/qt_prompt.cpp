#include "ui/skin/qt_prompt.h"

#include <QAbstractButton>
#include <QCoreApplication>

namespace orvane {

namespace {

QtPrompt::Interceptor& GlobalInterceptor() {
  static QtPrompt::Interceptor interceptor;
  return interceptor;
}

PromptAnswer RunBox(const QtPrompt::Interceptor& own, const PromptRequest& request) {
  std::unique_ptr<QMessageBox> box = QtPrompt::MakeBox(request);
  const QtPrompt::Interceptor& interceptor = own ? own : GlobalInterceptor();
  if (interceptor) {
    if (std::optional<PromptAnswer> answer = interceptor(*box, request)) return *answer;
  }
  box->exec();
  return QtPrompt::AnswerOf(*box, request);
}

}  // namespace

QtPrompt::QtPrompt(QObject* gui)
    : caller_(std::make_unique<GuiThreadCaller>(gui != nullptr ? gui : QCoreApplication::instance())) {}

QtPrompt::~QtPrompt() = default;

void QtPrompt::SetGlobalInterceptor(Interceptor interceptor) { GlobalInterceptor() = std::move(interceptor); }

void QtPrompt::Release() { caller_->Release(); }

std::unique_ptr<QMessageBox> QtPrompt::MakeBox(const PromptRequest& request) {
  const bool question = request.buttons == PromptButtons::YesNo;
  // No owner: the box stands on its own, as the program's boxes always do.
  auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, QString::fromStdString(request.caption),
                                           QString::fromStdString(request.text),
                                           question ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, nullptr);
  // Texts come from language files; nothing in them is markup.
  box->setTextFormat(Qt::PlainText);
  if (question) {
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
  } else {
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
  }
  box->setWindowFlag(Qt::WindowStaysOnTopHint, request.topmost);
  return box;
}

PromptAnswer QtPrompt::AnswerOf(const QMessageBox& box, const PromptRequest& request) {
  if (request.buttons == PromptButtons::Ok) return PromptAnswer::Ok;
  QAbstractButton* clicked = box.clickedButton();
  return clicked != nullptr && box.standardButton(clicked) == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

PromptAnswer QtPrompt::DefaultAnswer(const PromptRequest& request) {
  return request.buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Ok;
}

PromptAnswer QtPrompt::Show(const PromptRequest& request) {
  if (caller_->OnGuiThread()) return RunBox(interceptor_, request);
  if (caller_->released()) return DefaultAnswer(request);
  // The worker waits; the box and everything it reads belong to the GUI-side copy.
  std::optional<intptr_t> answer =
      caller_->Call([interceptor = interceptor_, request] { return intptr_t(RunBox(interceptor, request)); });
  return answer ? PromptAnswer(*answer) : DefaultAnswer(request);
}

}  // namespace orvane

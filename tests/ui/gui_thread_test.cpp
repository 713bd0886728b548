// The GUI-thread caller, the busy bracket and the message-box prompt, with real worker threads.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QKeyEvent>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <future>
#include <thread>
#include <vector>

#include "tests/support/pump_events.h"
#include "ui/skin/gui_thread.h"
#include "ui/skin/qt_prompt.h"
#include "ui/skin/qt_translation.h"

namespace orvane {
namespace {

using testing_support::PumpUntil;

TEST(GuiThreadCallerTest, AWorkersCallRunsOnTheGuiThreadAndTheWorkerWaitsForItsResult) {
  QObject context;
  GuiThreadCaller caller(&context);
  EXPECT_TRUE(caller.OnGuiThread());
  std::atomic<bool> ran_on_gui{false}, worker_done{false};
  std::optional<intptr_t> result;
  std::thread worker([&] {
    EXPECT_FALSE(caller.OnGuiThread());
    result = caller.Call([&] {
      ran_on_gui = QThread::currentThread() == context.thread();
      return intptr_t(42);
    });
    worker_done = true;
  });
  // Nothing runs until the GUI thread takes its events: the worker is still waiting.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(worker_done.load());
  ASSERT_TRUE(PumpUntil([&] { return worker_done.load(); }));
  worker.join();
  EXPECT_TRUE(ran_on_gui.load());
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, 42);
}

TEST(GuiThreadCallerTest, ReleaseLetsAWaitingCallGoAndItsFunctionNeverRuns) {
  QObject context;
  GuiThreadCaller caller(&context);
  std::atomic<bool> ran{false};
  auto waiting = std::async(std::launch::async, [&] {
    return caller.Call([&ran] {
      ran = true;
      return intptr_t(1);
    });
  });
  // The GUI thread is busy elsewhere (as when it joins the worker); releasing must free the worker.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  caller.Release();
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_FALSE(waiting.get().has_value());
  QCoreApplication::processEvents();
  EXPECT_FALSE(ran.load());
  // Later calls and posts do nothing, from any thread.
  EXPECT_FALSE(caller.Call([] { return intptr_t(1); }).has_value());
  std::thread([&] { EXPECT_FALSE(caller.Call([] { return intptr_t(1); }).has_value()); }).join();
  caller.Post([&ran] { ran = true; });
  QCoreApplication::processEvents();
  EXPECT_FALSE(ran.load());
}

TEST(GuiThreadCallerTest, AContextThatGoesAwayReleasesTheCaller) {
  auto context = std::make_unique<QObject>();
  GuiThreadCaller caller(context.get());
  auto waiting = std::async(std::launch::async, [&] { return caller.Call([] { return intptr_t(7); }); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  context.reset();  // its queued functions are dropped with it
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_FALSE(waiting.get().has_value());
  EXPECT_TRUE(caller.released());
}

TEST(BusyBracketTest, DeferredWorkWaitsForTheOutermostBracketAndKeepsItsOrder) {
  QObject context;
  GuiThreadCaller caller(&context);
  std::vector<int> order;
  WhenNotBusy([&] { order.push_back(0); });  // outside a bracket: at once
  EXPECT_EQ(order, std::vector<int>{0});

  EnterBusyBracket();
  EnterBusyBracket();
  EXPECT_TRUE(BusyBracketActive());
  WhenNotBusy([&] { order.push_back(1); });
  caller.Post([&] { order.push_back(2); }, GuiTiming::Deferred);
  caller.Post([&] { order.push_back(3); });  // immediate timing runs inside the bracket
  std::atomic<bool> worker_done{false};
  std::optional<intptr_t> answer;
  std::thread worker([&] {
    answer = caller.Call(
        [&] {
          order.push_back(4);
          return intptr_t(9);
        },
        GuiTiming::Deferred);
    worker_done = true;
  });
  PumpUntil([&] { return order.size() >= 2; });
  // Give the worker's call time to arrive; it must not run while the bracket is open.
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(order, (std::vector<int>{0, 3}));
  EXPECT_FALSE(worker_done.load());
  LeaveBusyBracket();
  EXPECT_TRUE(BusyBracketActive());
  EXPECT_EQ(order, (std::vector<int>{0, 3}));
  LeaveBusyBracket();
  EXPECT_FALSE(BusyBracketActive());
  ASSERT_TRUE(PumpUntil([&] { return worker_done.load(); }));
  worker.join();
  EXPECT_EQ(order, (std::vector<int>{0, 3, 1, 2, 4}));
  EXPECT_EQ(answer.value_or(0), 9);
}

// ---- QtPrompt -------------------------------------------------------------------------------

struct InterceptorScope {
  explicit InterceptorScope(QtPrompt::Interceptor i) { QtPrompt::SetGlobalInterceptor(std::move(i)); }
  ~InterceptorScope() { QtPrompt::SetGlobalInterceptor(nullptr); }
};

TEST(QtPromptTest, BoxesHaveNoOwnerTheRequestedCaptionAndAQuestionPreselectsNo) {
  PromptRequest question{"Delete the macro?", "", PromptButtons::YesNo, true};
  std::unique_ptr<QMessageBox> box = QtPrompt::MakeBox(question);
  EXPECT_EQ(box->parent(), nullptr);
  EXPECT_EQ(box->windowTitle(), QString());
  EXPECT_EQ(box->text(), "Delete the macro?");
  EXPECT_EQ(box->textFormat(), Qt::PlainText);
  EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
  EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::No));
  EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);

  PromptRequest notice{"<b>No keyboard</b>", "Orvane", PromptButtons::Ok, false};
  box = QtPrompt::MakeBox(notice);
  EXPECT_EQ(box->windowTitle(), "Orvane");
  EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
  EXPECT_FALSE(box->windowFlags() & Qt::WindowStaysOnTopHint);
}

// Presses a key on the box that is running, once it runs.
void PressOnRunningBox(Qt::Key key) {
  QTimer::singleShot(0, [key] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    QWidget* target = box->focusWidget() != nullptr ? box->focusWidget() : box;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
  });
}

TEST(QtPromptTest, EnterAndEscapeOnARunningQuestionBothAnswerNo) {
  QtPrompt prompt;
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    PressOnRunningBox(key);
    EXPECT_EQ(prompt.Show({"Overwrite?", "", PromptButtons::YesNo, false}), PromptAnswer::No) << key;
  }
  // Clicking Yes is the one way to Yes.
  QTimer::singleShot(0, [] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->button(QMessageBox::Yes)->click();
  });
  EXPECT_TRUE(prompt.AskYesNo("Overwrite?"));
}

TEST(QtPromptTest, AWorkersPromptIsShownOnTheGuiThreadWhileTheWorkerWaits) {
  std::atomic<bool> shown_on_gui{false};
  std::string seen_text;
  InterceptorScope scope([&](QMessageBox& box, const PromptRequest& request) -> std::optional<PromptAnswer> {
    shown_on_gui = QThread::currentThread() == qApp->thread();
    seen_text = box.text().toStdString();
    EXPECT_EQ(request.buttons, PromptButtons::YesNo);
    return PromptAnswer::Yes;
  });
  QtPrompt prompt;
  std::atomic<bool> done{false};
  bool answer = false;
  std::thread worker([&] {
    answer = prompt.AskYesNo("Record over it?");
    done = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_TRUE(shown_on_gui.load());
  EXPECT_EQ(seen_text, "Record over it?");
  EXPECT_TRUE(answer);
}

TEST(QtPromptTest, AfterReleaseAWorkersPromptAnswersAtOnceWithoutABox) {
  std::atomic<int> boxes{0};
  QtPrompt prompt;
  prompt.SetInterceptor([&](QMessageBox&, const PromptRequest&) -> std::optional<PromptAnswer> {
    ++boxes;
    return PromptAnswer::Yes;
  });
  // A worker already waiting while the GUI thread is not taking events is let go by Release.
  auto waiting = std::async(std::launch::async, [&] { return prompt.AskYesNo("Still there?"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  prompt.Release();
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_FALSE(waiting.get());
  auto notice = std::async(std::launch::async, [&] {
    return prompt.Show({"Bye", "", PromptButtons::Ok, false});
  });
  EXPECT_EQ(notice.get(), PromptAnswer::Ok);
  QCoreApplication::processEvents();
  EXPECT_EQ(boxes.load(), 0);
}

TEST(QtTranslationTest, AQuestionInRussianHasRussianButtonsWhenQtsCatalogueIsInstalled) {
  EXPECT_EQ(LoadQtTranslation(0), nullptr);  // English: Qt's own texts already are
  const QString nowhere = QString::fromStdString(std::filesystem::temp_directory_path() / "orvane-no-catalogue");
  EXPECT_EQ(LoadQtTranslation(1, nowhere), nullptr);

  const QString catalogue = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ru.qm";
  if (!QFileInfo::exists(catalogue)) GTEST_SKIP() << catalogue.toStdString() << " is missing (qt6-translations-l10n)";
  std::unique_ptr<QTranslator> russian = LoadQtTranslation(1);
  ASSERT_NE(russian, nullptr);
  QCoreApplication::installTranslator(russian.get());
  PromptRequest question{"?", "", PromptButtons::YesNo, true};
  std::unique_ptr<QMessageBox> box = QtPrompt::MakeBox(question);
  const QString yes = box->button(QMessageBox::Yes)->text();
  const QString no = box->button(QMessageBox::No)->text();
  QCoreApplication::removeTranslator(russian.get());
  EXPECT_TRUE(yes.contains(QString::fromUtf8("Да"))) << yes.toStdString();
  EXPECT_TRUE(no.contains(QString::fromUtf8("Нет"))) << no.toStdString();
  // Without the translator the same box is English again.
  box = QtPrompt::MakeBox(question);
  EXPECT_TRUE(box->button(QMessageBox::Yes)->text().contains("Yes"));
}

}  // namespace
}  // namespace orvane

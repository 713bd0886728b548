#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>

#include "tests/support/doubles.h"
#include "ui/controls/color_static.h"

namespace orvane {
namespace {

// Counts pixels close to the colour (anti-aliased text has a few exact ones at least).
int CountNear(const QImage& image, QColor colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
          std::abs(c.blue() - colour.blue()) < 40)
        ++n;
    }
  return n;
}

TEST(ColorStaticTest, DrawsWhiteByDefaultThenTheChosenColourOverWhatIsBeneath) {
  QWidget parent;
  parent.resize(200, 60);
  parent.setAutoFillBackground(true);
  QPalette p = parent.palette();
  p.setColor(QPalette::Window, Qt::black);
  parent.setPalette(p);
  auto* label = new ColorStatic(&parent);
  label->setText("Brightness");
  label->setGeometry(0, 0, 200, 60);
  label->SetFontSize(24);
  EXPECT_EQ(label->font().pixelSize(), 24);
  EXPECT_EQ(label->textColor(), 0xFFFFFFu);

  QImage shown = parent.grab().toImage();
  EXPECT_GT(CountNear(shown, Qt::white), 20);
  EXPECT_EQ(shown.pixelColor(199, 59), QColor(Qt::black));  // the parent shows through

  label->SetTextColor(0x0000FF);  // red in 0x00BBGGRR
  shown = parent.grab().toImage();
  EXPECT_EQ(CountNear(shown, Qt::white), 0);
  EXPECT_GT(CountNear(shown, Qt::red), 20);
}

TEST(HyperLinkTextTest, ErrorTextsAndBrowserCommandLines) {
  EXPECT_EQ(HyperLinkErrorText(2), "Unable to open hyperlink:\n\nThe specified file was not found.");
  EXPECT_EQ(HyperLinkErrorReason(26), "A sharing violation occurred. ");
  EXPECT_EQ(HyperLinkErrorReason(31), "There is no application associated\nwith the given filename extension.");
  EXPECT_EQ(HyperLinkErrorReason(99), "Unknown Error (99) occurred.");
  EXPECT_EQ(HyperLinkErrorReason(-4), "Unknown Error (-4) occurred.");

  EXPECT_EQ(BrowserCommandLine("\"/opt/web\" -osint -url \"%1\"", "https://a.b"), "\"/opt/web\" -osint -url https://a.b");
  EXPECT_EQ(BrowserCommandLine("web %1 --new", "x"), "web x");
  EXPECT_EQ(BrowserCommandLine("firefox %s", "x"), "firefox x");
  EXPECT_EQ(BrowserCommandLine("firefox", "x"), "firefox x");
}

class HyperLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    link_ = new CHyperLink(&parent_);
    link_->SetPrompt(&prompt_);
    CHyperLink::Shell shell;
    shell.open = [this](const std::string& a) {
      opened_.push_back(a);
      return open_result_;
    };
    shell.browser_command = [this] { return browser_; };
    shell.run = [this](const std::string& line) {
      ran_.push_back(line);
      return run_result_;
    };
    link_->SetShell(shell);
  }
  void Click() {
    const QPointF at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, at, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(link_, &press);
    QCoreApplication::sendEvent(link_, &release);
  }

  QWidget parent_;
  CHyperLink* link_ = nullptr;
  ScriptedPrompt prompt_;
  int open_result_ = 42;
  int run_result_ = 42;
  std::optional<std::string> browser_;
  std::vector<std::string> opened_, ran_;
};

TEST_F(HyperLinkTest, AddressComesFromTheTextAndShowsAsTooltip) {
  link_->setText("Site");
  link_->Attach();
  EXPECT_EQ(link_->url(), "Site");
  EXPECT_EQ(link_->toolTipText(), "Site");
  EXPECT_EQ(link_->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(link_->currentColour(), 0xEE0000u);
  Click();
  EXPECT_EQ(opened_, (std::vector<std::string>{"Site"}));
  EXPECT_TRUE(link_->visited());
  EXPECT_EQ(link_->currentColour(), 0x8B1A55u);
  EXPECT_TRUE(prompt_.Shown().empty());
  EXPECT_TRUE(ran_.empty());
}

TEST_F(HyperLinkTest, EmptyTextTakesTheAddressAndSetUrlUpdatesTheTooltip) {
  link_->SetURL("https://orvane.example/");
  link_->Attach();
  EXPECT_EQ(link_->text(), "https://orvane.example/");
  link_->SetURL("https://other.example/");
  EXPECT_EQ(link_->toolTipText(), "https://other.example/");
}

TEST_F(HyperLinkTest, FailedOpenWithoutBrowserReportsAndStaysUnvisited) {
  open_result_ = 2;
  link_->setText("https://orvane.example/");
  link_->Attach();
  EXPECT_EQ(link_->Open(), 2);
  ASSERT_EQ(prompt_.Shown().size(), 1u);
  EXPECT_EQ(prompt_.Shown()[0].text, "Unable to open hyperlink:\n\nThe specified file was not found.");
  EXPECT_EQ(prompt_.Shown()[0].buttons, PromptButtons::Ok);
  EXPECT_FALSE(link_->visited());
  EXPECT_EQ(link_->currentColour(), 0xEE0000u);
}

TEST_F(HyperLinkTest, FailedOpenFallsBackToTheBrowserCommand) {
  open_result_ = 31;
  browser_ = "\"/usr/bin/web\" --new \"%1\"";
  link_->SetURL("https://orvane.example/");
  link_->Attach();
  EXPECT_EQ(link_->Open(), 42);
  EXPECT_EQ(ran_, (std::vector<std::string>{"\"/usr/bin/web\" --new https://orvane.example/"}));
  EXPECT_TRUE(link_->visited());
  EXPECT_TRUE(prompt_.Shown().empty());

  // The command's own failure is what gets reported.
  link_->SetVisited(false);
  run_result_ = 5;
  EXPECT_EQ(link_->Open(), 5);
  EXPECT_FALSE(link_->visited());
  ASSERT_EQ(prompt_.Shown().size(), 1u);
  EXPECT_EQ(prompt_.Shown()[0].text,
            "Unable to open hyperlink:\n\nThe operating system denied\naccess to the specified file.");
}

TEST_F(HyperLinkTest, HoverUnderlinesInModeMinusOneUntilTheMouseHasLeft) {
  link_->setText("Site");
  link_->Attach();
  EXPECT_FALSE(link_->underlined());
  QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(link_, &move);
  EXPECT_TRUE(link_->hovering());
  EXPECT_TRUE(link_->underlined());
  EXPECT_EQ(link_->currentColour(), 0x0000FFu);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(link_, &leave);
  QElapsedTimer timer;
  timer.start();
  while (link_->hovering() && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(link_->hovering());
  EXPECT_FALSE(link_->underlined());

  link_->SetUnderline(1);
  EXPECT_TRUE(link_->underlined());
  link_->SetUnderline(0);
  EXPECT_FALSE(link_->underlined());
}

TEST_F(HyperLinkTest, FitToTextKeepsTheAlignmentAnchor) {
  link_->setText("A fairly long link text");
  const int text_width = QFontMetrics(link_->font()).horizontalAdvance(link_->text());
  link_->setGeometry(100, 50, 400, 40);
  link_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  link_->Attach();
  EXPECT_NEAR(link_->width(), text_width, 2);
  EXPECT_EQ(link_->geometry().right(), 499);
  EXPECT_NEAR(link_->geometry().center().y(), 69, 1);

  auto* centred = new CHyperLink(&parent_);
  centred->setText("centre");
  centred->setGeometry(0, 10, 200, 30);
  centred->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  centred->Attach();
  EXPECT_NEAR(centred->geometry().center().x(), 99, 1);
  EXPECT_EQ(centred->y(), 10);

  auto* fixed = new CHyperLink(&parent_);
  fixed->setText("fixed");
  fixed->setGeometry(0, 0, 300, 30);
  fixed->SetAutoSize(false);
  fixed->Attach();
  EXPECT_EQ(fixed->width(), 300);
}

}  // namespace
}  // namespace orvane

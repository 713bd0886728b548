// Message boxes, as the core asks for them. The GUI shows a real dialog; the command-line tool
// prints the text and takes a default answer; tests script the answers (see doubles.h).
#pragma once

#include <string>

namespace orvane {

enum class PromptButtons { Ok, YesNo };
enum class PromptAnswer { Ok, Yes, No };

struct PromptRequest {
  std::string text;
  std::string caption;
  PromptButtons buttons = PromptButtons::Ok;
  bool topmost = false;
  // Questions always default to No.
};

class IPrompt {
 public:
  virtual ~IPrompt() = default;
  virtual PromptAnswer Show(const PromptRequest& request) = 0;

  // Helpers for the two kinds the program uses.
  void Notice(const std::string& text, bool topmost = false) {
    Show(PromptRequest{text, {}, PromptButtons::Ok, topmost});
  }
  bool AskYesNo(const std::string& text, bool topmost = false) {
    return Show(PromptRequest{text, {}, PromptButtons::YesNo, topmost}) == PromptAnswer::Yes;
  }
};

}  // namespace orvane

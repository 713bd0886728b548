// File dialogs, as the program asks for them: open or save, an initial folder and name, a default
// extension and a filter in the "(*.orv)|*.orv|(*.*)|*.*||" form (pairs of caption and patterns,
// closed by an empty pair). The GUI shows a real dialog (ui/skin/qt_file_dialog.h); tests script
// the choices.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

struct FileDialogRequest {
  bool save = false;
  std::string initial_folder;  // empty: the folder of initial_name, or the current directory
  std::string initial_name;    // a file name, a full path, or a pattern such as "*.orv"
  std::string default_extension;  // added to a chosen name without one ("orv", no dot)
  std::string filter;
  bool overwrite_prompt = false;  // save: ask before replacing an existing file
};

class IFileDialog {
 public:
  virtual ~IFileDialog() = default;
  // The chosen file's full path, or nothing when the user cancelled.
  virtual std::optional<std::string> Choose(const FileDialogRequest& request) = 0;
};

// The filter's (caption, patterns) pairs, in order; parsing stops at the empty pair, at an odd
// field or at the end. "(*.orv)|*.orv|(*.*)|*.*||" gives {("(*.orv)", "*.orv"), ("(*.*)", "*.*")}.
std::vector<std::pair<std::string, std::string>> ParseFileFilter(const std::string& filter);

// The name with the default extension added when it has none (a dot after its last separator).
std::string WithDefaultExtension(const std::string& path, const std::string& extension);

}  // namespace orvane

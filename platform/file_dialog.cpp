#include "platform/file_dialog.h"

namespace orvane {

std::vector<std::pair<std::string, std::string>> ParseFileFilter(const std::string& filter) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= filter.size()) {
    const size_t bar = filter.find('|', start);
    if (bar == std::string::npos) {
      if (start < filter.size()) fields.push_back(filter.substr(start));
      break;
    }
    fields.push_back(filter.substr(start, bar - start));
    start = bar + 1;
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  // The first empty field ends the list ("||" closes it), as does a caption without patterns.
  for (size_t i = 0; i + 1 < fields.size(); i += 2) {
    if (fields[i].empty() || fields[i + 1].empty()) break;
    pairs.emplace_back(fields[i], fields[i + 1]);
  }
  return pairs;
}

std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
  if (extension.empty() || path.empty()) return path;
  const size_t slash = path.find_last_of('/');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  if (name >= path.size()) return path;  // a folder, not a file name
  if (path.find('.', name) != std::string::npos) return path;
  return path + "." + extension;
}

}  // namespace orvane

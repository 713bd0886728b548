#include "ui/skin/qt_translation.h"

#include <QLibraryInfo>

namespace orvane {

QString QtCatalogueLanguage(int language_index) {
  return language_index == 1 ? QStringLiteral("ru") : QString();
}

std::unique_ptr<QTranslator> LoadQtTranslation(int language_index, const QString& folder) {
  const QString language = QtCatalogueLanguage(language_index);
  if (language.isEmpty()) return nullptr;
  auto translator = std::make_unique<QTranslator>();
  const QString where = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
  if (!translator->load(QStringLiteral("qtbase_") + language, where)) return nullptr;
  return translator;
}

}  // namespace orvane

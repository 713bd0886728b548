// Qt's own texts (the buttons of message boxes, the file dialog) in the program's language. The
// program's texts come from its language files; the few that Qt draws itself come from Qt's
// translation catalogue for the same language, when the system has it installed (Debian:
// qt6-translations-l10n). Without it they stay English, as they would be with no translation.
#pragma once

#include <QString>
#include <QTranslator>
#include <memory>

namespace orvane {

// The catalogue's language for a supported-language index ("ru" for 1); empty for English and
// for an index without a catalogue.
QString QtCatalogueLanguage(int language_index);

// "qtbase_<language>" loaded from folder (Qt's translations folder when empty), for the caller to
// install and keep while the application runs; nullptr when English needs none or the catalogue
// is not there.
std::unique_ptr<QTranslator> LoadQtTranslation(int language_index, const QString& folder = {});

}  // namespace orvane

// Qt's own texts (file dialogs, message-box buttons, edit menus) in Russian.
#pragma once

class QCoreApplication;

namespace moratutor::ui {

// Installs Qt's Russian translation and makes Russian the default locale, whatever the
// desktop's language: the program speaks Russian only. Returns false when the
// translation is not installed (Qt's texts then stay English).
bool InstallRussianQtTexts(QCoreApplication& app);

}  // namespace moratutor::ui

// Handing a file, address or mail link to the desktop, for the help and the About window.
#pragma once

#include <QString>

namespace moratutor::ui {

// Hands a file path, web address or "mailto:" link to the desktop's default handler.
void ShellOpenFile(const QString& target);

}  // namespace moratutor::ui

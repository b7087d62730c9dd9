// The one place where a pane's document becomes the engine's UTF-16 text.
#pragma once

#include <string>

class QTextDocument;

namespace moratutor::ui {

// Exactly what the pane shows: paragraph ends and the frame marks of tables as "\n",
// U+2028 and no-break spaces kept (toPlainText() would turn those into plain spaces,
// which the syllable table treats differently).
std::u16string DocumentText(const QTextDocument& document);

}  // namespace moratutor::ui

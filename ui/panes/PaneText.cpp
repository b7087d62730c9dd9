#include "PaneText.h"

#include <QTextDocument>

namespace moratutor::ui {

std::u16string DocumentText(const QTextDocument& document) {
    std::u16string text = document.toRawText().toStdU16String();
    for (char16_t& c : text) {
        if (c == u'\u2029' || c == u'\uFDD0' || c == u'\uFDD1') c = u'\n';
    }
    return text;
}

}  // namespace moratutor::ui

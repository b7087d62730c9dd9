// Lines that break only where Russian typesetting breaks them: after a space, or after a
// hyphen or dash that a letter follows; never inside a word of Cyrillic letters and kana.
// Qt's line breaking follows Unicode's, which allows a break beside every kana, so a
// converted word ("えвげにй") would otherwise be split at a line's end.
#pragma once

#include <QString>
#include <QStringView>

class QTextDocument;
class QTextLine;

namespace moratutor::books {

// Whether a line may end between text[position - 1] and text[position]. The text's two
// ends always may.
bool MayEndLineAt(QStringView text, qsizetype position);

// QTextLine::setLineWidth for a line of a layout of `text`, but the line ends where
// MayEndLineAt allows, the last such place that fits; a word longer than the whole line
// is still broken where Qt breaks it.
void SetLineWidthKeepingWords(const QString& text, QTextLine& line, qreal width);

// For a document laid out by Qt's own document layout (print, PDF), which breaks lines by
// itself: lays it out, and where a paragraph's line ends inside a word, pins that
// paragraph's lines as SetLineWidthKeepingWords breaks them with line separators. Only for
// a copy made for painting: the text changes. Returns whether anything was pinned.
bool PinWholeWordLines(QTextDocument& document);

}  // namespace moratutor::books

// The colours that mark what the program wrote: the kana of a run when highlighted, and the
// chart's cells of the ticked groups. Taken against the palette in use, light or dark, so
// that every text on them keeps a contrast of 4.5:1 or more (WCAG AA).
#pragma once

#include <QColor>

class QPalette;

namespace moratutor::ui {

// The WCAG contrast ratio of two colours, 1 to 21; alpha is ignored.
double ContrastRatio(const QColor& a, const QColor& b);

struct Marking {
    QColor background;
    QColor text;
    QColor muted;  // text of less weight (a count of nothing), still 4.5:1 on the background
};

// A soft yellow on a light palette, a dark amber on a dark one (whose text is the lighter);
// the palette's text where it keeps its contrast there, else black or white.
Marking MarkingOn(const QPalette& palette);
// The plain background of `palette` (its base) with the same rule for the text.
Marking PlainOn(const QPalette& palette);

}  // namespace moratutor::ui

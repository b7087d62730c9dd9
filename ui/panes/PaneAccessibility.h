// What screen readers and magnifiers learn of a pane: its text, caret and selection, and where
// each character stands on the screen. Qt's own answer for a QTextEdit reads the places from
// Qt's lines, which a huge paragraph (HugeParagraph.h) has none of, so inside one it placed
// nothing, and its line and word moves would lay the paragraph out whole. The panes answer
// instead with an interface of their own: from the pane's layout inside a huge paragraph, and
// as Qt does elsewhere. Qt makes an interface only when an assistive technology asks, so none
// of this runs without one.
#pragma once

class QTextEdit;

namespace moratutor::ui {

// Gives `pane` that interface (the first call registers it with Qt).
void GuardPaneAccessibility(QTextEdit& pane);

}  // namespace moratutor::ui

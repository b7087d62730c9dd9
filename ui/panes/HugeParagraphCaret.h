// The caret's moves within a huge paragraph (see HugeParagraph.h), done with the pane's own
// layout: Qt's cursor would ask for a layout of the whole paragraph at every move.
#pragma once

class QTextEdit;

namespace moratutor::ui {

// Watches `pane`'s keys and double clicks; acts only while the caret is in a huge paragraph.
void GuardHugeParagraphCaret(QTextEdit& pane);

}  // namespace moratutor::ui

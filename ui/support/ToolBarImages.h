// The tool-bar image list: 16 images, 0..15, drawn 16 x 16; the About window shares it.
#pragma once

#include <QIcon>

namespace moratutor::ui {

// A null icon for an index outside 0..15.
QIcon ToolBarImage(int index);

}  // namespace moratutor::ui

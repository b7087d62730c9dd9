// Placeholder so the tree builds; replaced by the real main window.
#include "UMain.h"

TFMain::TFMain(QWidget* parent) : QMainWindow(parent) {}
TFMain::~TFMain() = default;

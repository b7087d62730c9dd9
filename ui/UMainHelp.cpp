// Placeholder so the tree builds; replaced by the real help and shell code.
#include "UMain.h"

void ShellOpenFile(const QString&) {}
void TFMain::actHelpExecute() {}
QString TFMain::HelpPagePath(const QString& executablePath) { return executablePath; }

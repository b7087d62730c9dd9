// Placeholder so the tree builds; replaced by the real file actions.
#include "UMain.h"

void TFMain::actLoadTextFromFileExecute() {}
void TFMain::actSaveTextToFileExecute() {}
void TFMain::SaveDialogTypeChange(const QString&) {}

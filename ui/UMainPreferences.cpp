// Placeholder so the tree builds; replaced by the real preferences code.
#include "UMain.h"

QString TFMain::FormPreferencesPath() const { return {}; }
void TFMain::LoadPreferences() {}
void TFMain::SavePreferences() {}
void TFMain::SetPreferencesPathOverride(const QString&) {}

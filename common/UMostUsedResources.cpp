// Placeholder so the tree builds; replaced by the real routines.
#include "UMostUsed.h"

QString GetFileVersionString(const QString&) { return {}; }
bool IsCtrlKeyDown() { return false; }
void LoadStringsFromResource(QStringList& list, const QString&) { list.clear(); }

// Placeholder so the tree builds; replaced by the real routines.
#include "UMostUsed.h"

QString GetOSVersionText() { return QStringLiteral("Linux"); }
QString GetLoginUserName() { return QStringLiteral("Unknown"); }

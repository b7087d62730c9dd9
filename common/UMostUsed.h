// Small utility routines; the platform's services are reached from here only.
#pragma once

#include <QString>
#include <QStringList>

namespace moratutor {

// A text describing the running operating system (kernel or distribution, with version).
QString GetOSVersionText();

// The login name of the real user; "Unknown" when there is none.
QString GetLoginUserName();

// The fixed file version embedded in the file as "a.b.c.d"; empty when it has none.
QString GetFileVersionString(const QString& fileName);

// The file of the running program's own image: /proc/self/exe, which stays the image that
// runs even after its file on disk has been replaced (an upgrade while the program runs);
// the program's path where there is no such file.
QString RunningImagePath();

// True while either Ctrl key is down.
bool IsCtrlKeyDown();

// Replaces list's contents by the lines of the resource: lines end at CR, LF, CR LF or
// NUL, a NUL ends the text, a final line end adds no entry. Windows-1251 text.
void LoadStringsFromResource(QStringList& list, const QString& resourceName);

}  // namespace moratutor

// Finds a window's controls the way a user names them: by object name. A test that asks for
// a control the window does not have stops at once with the name it looked for.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QTextEdit>
#include <QObject>
#include <QString>
#include <QtGlobal>

#include <initializer_list>
#include <vector>

namespace moratutor::test {

template <class T = QObject>
T* Control(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("%s has no control named %s", qPrintable(window.objectName()), name);
    return found;
}

// The syllable-group check boxes chkbxCharacters1 .. chkbxCharacters11, in that order.
inline std::vector<QCheckBox*> CharacterBoxes(const QObject& window) {
    std::vector<QCheckBox*> boxes;
    for (int n = 1; n <= 11; ++n)
        boxes.push_back(Control<QCheckBox>(window, qPrintable(QStringLiteral("chkbxCharacters%1").arg(n))));
    return boxes;
}

// Ticks the groups (1 .. 11), puts `source` in the source pane and converts it to hiragana,
// as a user would with the window's controls.
inline void ConvertToHiragana(const QObject& window, const QString& source, std::initializer_list<int> groups) {
    for (int n : groups) CharacterBoxes(window)[static_cast<std::size_t>(n - 1)]->setChecked(true);
    Control<QTextEdit>(window, "richSourceTextAnsi")->setPlainText(source);
    QCoreApplication::processEvents();
    Control<QAction>(window, "actReplaceWithHiragana")->trigger();
    QCoreApplication::processEvents();
}

// True while a conversion run goes on: as the user sees it, the options are locked then.
inline bool RunGoingOn(const QObject& window) { return !Control<QCheckBox>(window, "chkbxSnowball")->isEnabled(); }

}  // namespace moratutor::test

// The per-user preferences file: word wrap of the panes, the highlight of replaced syllables,
// the syllable groups, the options.
#include "UMain.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QStandardPaths>
#include <QTextEdit>

#include "IniFile.h"
#include "KanaCountsFile.h"
#include "PreferencesPath.h"
#include "MessageBoxes.h"
#include "UMostUsed.h"

namespace moratutor::ui {

namespace {

const QString kMain = QStringLiteral("Main");
const QString kCharacters = QStringLiteral("Characters");
const QString kAdvanced = QStringLiteral("Advanced");

QString& PreferencesPathOverride() {
    static QString path;
    return path;
}

bool WordWrapOf(const QTextEdit* pane) { return pane->lineWrapMode() != QTextEdit::NoWrap; }

void SetWordWrap(QTextEdit* pane, bool on) {
    pane->setLineWrapMode(on ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

// The group check boxes are found by name, so that their keys follow their names and not
// their order among the group box's children.
int GroupCount(const QGroupBox* box) { return int(box->findChildren<QCheckBox*>().size()); }

QCheckBox* GroupCheckBox(const QGroupBox* box, int n) {
    return box->findChild<QCheckBox*>(QStringLiteral("chkbxCharacters") + QString::number(n));
}

}  // namespace

void TFMain::SetPreferencesPathOverride(const QString& path) { PreferencesPathOverride() = path; }

QString TFMain::FormPreferencesPath() {
    if (!PreferencesPathOverride().isEmpty()) return PreferencesPathOverride();
    return moratutor::ChoosePreferencesPath(QCoreApplication::applicationDirPath(), GetLoginUserName(),
                                            QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

QString TFMain::KanaCountsPath(const QString& preferencesPath) {
    // A preferences file of the tests' own keeps its counts beside it.
    const QString dataDir = PreferencesPathOverride().isEmpty()
                                ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                                : QString();
    return moratutor::study::KanaCountsPath(preferencesPath, QCoreApplication::applicationDirPath(), dataDir);
}

void TFMain::LoadPreferences() {
    const moratutor::IniFile ini(PreferencesPath);
    SetWordWrap(richSourceText, ini.ReadBool(kMain, QStringLiteral("WordWrapSourceText"), true));
    SetWordWrap(richConvertedText, ini.ReadBool(kMain, QStringLiteral("WordWrapConvertedText"), true));
    actHighlightReplacements->setChecked(ini.ReadBool(kMain, QStringLiteral("HighlightReplacements"), false));
    const int groups = GroupCount(grpbxCharacters);
    for (int n = 1; n <= groups; ++n) {
        // Groups 10 and 11 are set whether enabled or not; the idle update settles them.
        if (QCheckBox* box = GroupCheckBox(grpbxCharacters, n))
            box->setChecked(ini.ReadBool(kCharacters, QString::number(n), false));
    }
    chkbxSnowball->setChecked(ini.ReadBool(kAdvanced, QStringLiteral("Snowball"), false));
    chkbxReplaceE->setChecked(ini.ReadBool(kAdvanced, QStringLiteral("ReplaceE"), false));
    chkbxReplaceSpaces->setChecked(ini.ReadBool(kAdvanced, QStringLiteral("ReplaceSpaces"), false));
}

void TFMain::SavePreferences() {
    // Read afresh, so that lines another copy of the program or the user added since start
    // are kept.
    moratutor::IniFile ini(PreferencesPath);
    ini.WriteBool(kMain, QStringLiteral("WordWrapSourceText"), WordWrapOf(richSourceText));
    ini.WriteBool(kMain, QStringLiteral("WordWrapConvertedText"), WordWrapOf(richConvertedText));
    ini.WriteBool(kMain, QStringLiteral("HighlightReplacements"), actHighlightReplacements->isChecked());
    const int groups = GroupCount(grpbxCharacters);
    for (int n = 1; n <= groups; ++n) {
        if (const QCheckBox* box = GroupCheckBox(grpbxCharacters, n))
            ini.WriteBool(kCharacters, QString::number(n), box->isChecked());
    }
    ini.WriteBool(kAdvanced, QStringLiteral("Snowball"), chkbxSnowball->isChecked());
    ini.WriteBool(kAdvanced, QStringLiteral("ReplaceE"), chkbxReplaceE->isChecked());
    ini.WriteBool(kAdvanced, QStringLiteral("ReplaceSpaces"), chkbxReplaceSpaces->isChecked());
    // The whole file is written at once: on failure nothing of it changes.
    if (!ini.Save())
        throw moratutor::ui::Error(
            QStringLiteral("Unable to write to %1").arg(QFileInfo(PreferencesPath).absoluteFilePath()));
}

}  // namespace moratutor::ui

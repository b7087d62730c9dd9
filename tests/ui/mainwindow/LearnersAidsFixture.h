// What the learner's aids' window test classes share: a fresh main window for each test with
// preferences of its own, its converted pane and kana chart at hand, and a run to hiragana.
#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <initializer_list>
#include <memory>

#include "Controls.h"
#include "UKanaChart.h"
#include "UMain.h"

namespace moratutor::test {

class LearnersAidsFixture : public QObject {
protected:
    QTemporaryDir dir;
    std::unique_ptr<moratutor::ui::TFMain> w;
    QTextEdit* converted = nullptr;
    moratutor::ui::TFKanaChart* chart = nullptr;

    QString PreferencesFile() const { return dir.filePath(QStringLiteral("prefs.ini")); }

    void NewWindow() {
        w = std::make_unique<moratutor::ui::TFMain>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QCoreApplication::processEvents();
        converted = Control<QTextEdit>(*w, "richConvertedTextUnicode");
        chart = Control<moratutor::ui::TFKanaChart>(*w, "FKanaChart");
    }

    // Ticks the groups, puts `source` in the source pane and converts it to hiragana.
    void Run(const QString& source, std::initializer_list<int> groups) { ConvertToHiragana(*w, source, groups); }
};

}  // namespace moratutor::test

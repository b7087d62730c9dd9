// What the main window's test classes share: a fresh window for each test, with the message
// boxes it would open caught instead, and the steps that bring it to a given state.
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "Controls.h"
#include "MessageBoxes.h"
#include "UMain.h"

namespace moratutor::test {

struct ShownBox {
    QMessageBox::Icon icon;
    QString caption;
    QString text;
};

// Ticks groups given as numbers 1..11.
inline void Tick(moratutor::ui::TFMain& w, std::initializer_list<int> groups) {
    for (int n : groups) CharacterBoxes(w)[static_cast<std::size_t>(n - 1)]->setChecked(true);
}

inline void Idle() {
    // The idle rules run from a zero timer; two passes let any follow-up run too.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// Each test gets a new window with no saved preferences; the boxes it shows are recorded.
class MainWindowFixture : public QObject {
    Q_OBJECT

protected:
    QTemporaryDir dir;
    std::unique_ptr<moratutor::ui::TFMain> w;
    std::vector<ShownBox> boxes;
    std::function<void()> onBox;  // runs while a box would be open

    void Activate() {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    void FocusPane(QTextEdit* pane) {
        Activate();
        pane->setFocus(Qt::OtherFocusReason);
        Idle();
        QCOMPARE(QApplication::focusWidget(), pane);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        moratutor::ui::TFMain::SetPreferencesPathOverride(dir.filePath(QStringLiteral("prefs.ini")));
        moratutor::ui::SetMessageSink([this](QMessageBox::Icon icon, const QString& caption, const QString& text) {
            boxes.push_back({icon, caption, text});
            if (onBox) onBox();
        });
    }

    void init() {
        QFile::remove(dir.filePath(QStringLiteral("prefs.ini")));
        boxes.clear();
        onBox = nullptr;
        w = std::make_unique<moratutor::ui::TFMain>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        Idle();
    }

    void cleanup() {
        onBox = nullptr;
        w.reset();
    }
};

}  // namespace moratutor::test

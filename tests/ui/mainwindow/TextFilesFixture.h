// What the test classes of the window's files share: a fresh window for each test, a folder
// for its files, and the file dialogs driven as a user would.
#pragma once

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <functional>
#include <memory>

#include "Controls.h"
#include "MessageBoxes.h"
#include "UMain.h"

namespace moratutor::test {

// Runs an action once a modal widget of type T is open, polling the event loop until it is.
template <typename T>
void WhenOpen(std::function<void(T*)> act, int triesLeft = 3000) {
    QTimer::singleShot(10, [act, triesLeft] {
        auto* widget = qobject_cast<T*>(QApplication::activeModalWidget());
        if (widget && widget->isVisible()) {
            act(widget);
        } else if (triesLeft > 0) {
            WhenOpen<T>(act, triesLeft - 1);
        } else {
            qWarning("the expected dialog never opened");
        }
    });
}

inline QLineEdit* FileNameEdit(QFileDialog* dialog) { return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

// Types a name and confirms, as the user does (so Qt's own checks run). A dialog that
// refuses the name is cancelled unless the caller means to go on with it, so a test
// fails instead of waiting for ever.
inline void TypeAndConfirm(QFileDialog* dialog, const QString& folder, const QString& name, bool keepIfRefused = false) {
    dialog->setDirectory(folder);
    // The folder is read in the background, and a reused dialog's views keep the rows chosen
    // the last time; QFileDialog prefers a chosen row to the typed name. So wait until an
    // existing file is listed, then let the typed name alone decide.
    const QString path = QDir(folder).filePath(name);
    if (auto* model = dialog->findChild<QFileSystemModel*>(); model && QFileInfo::exists(path))
        if (!QTest::qWaitFor([&] { return model->index(path).isValid(); }, 5000))
            qWarning("the dialog never listed %s", qPrintable(name));
    for (auto* view : dialog->findChildren<QAbstractItemView*>())
        if (view->selectionModel()) view->selectionModel()->clear();
    FileNameEdit(dialog)->setText(name);
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, with its checks
    if (dialog->isVisible() && !keepIfRefused) {
        qWarning("the dialog refused %s", qPrintable(name));
        dialog->reject();
    }
}

// Picks a file type from the dialog's type list with the keyboard.
inline void ChooseType(QFileDialog* dialog, int index) {
    auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(combo);
    while (combo->currentIndex() < index) QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > index) QTest::keyClick(combo, Qt::Key_Up);
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QString RawText(const QTextEdit* pane) { return pane->document()->toRawText(); }

// Each test gets a new window; the texts of the boxes it shows are recorded.
class TextFilesFixture : public QObject {
    Q_OBJECT

protected:
    QTemporaryDir dir;
    std::unique_ptr<moratutor::ui::TFMain> w;
    QStringList boxes;

    QString Path(const QString& name) const { return dir.filePath(name); }

    void Save(std::function<void(QFileDialog*)> drive) {
        WhenOpen<QFileDialog>(drive);
        Control<QAction>(*w, "actSaveTextToFile")->setEnabled(true);
        Control<QAction>(*w, "actSaveTextToFile")->trigger();
    }
    void Load(std::function<void(QFileDialog*)> drive) {
        WhenOpen<QFileDialog>(drive);
        Control<QAction>(*w, "actLoadTextFromFile")->trigger();
    }
    void LoadFile(const QString& name) {
        Load([this, name](QFileDialog* d) { TypeAndConfirm(d, dir.path(), name); });
    }
    void SaveAs(const QString& name, int type) {
        Save([this, name, type](QFileDialog* d) {
            ChooseType(d, type);
            TypeAndConfirm(d, dir.path(), name);
        });
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        moratutor::ui::TFMain::SetPreferencesPathOverride(dir.filePath(QStringLiteral("prefs.ini")));
        moratutor::ui::SetMessageSink(
            [this](QMessageBox::Icon, const QString&, const QString& text) { boxes.push_back(text); });
    }

    void init() {
        boxes.clear();
        w = std::make_unique<moratutor::ui::TFMain>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void cleanup() {
        // The offscreen platform leaves the focus in a closed dialog; the dialogs go
        // first so the window is whole while the focus moves.
        qDeleteAll(w->findChildren<QFileDialog*>());
        w.reset();
    }
};

}  // namespace moratutor::test

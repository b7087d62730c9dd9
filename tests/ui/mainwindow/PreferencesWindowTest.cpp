// The main window reads its preferences at creation and writes them when it is destroyed.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <memory>
#include <set>

#include "IniFile.h"
#include "MessageBoxes.h"
#include "UMain.h"
#include "UMostUsed.h"
#include "Controls.h"
#include "UiTests.h"

using namespace moratutor::ui;  // the windows under test
using namespace moratutor;

using moratutor::test::CharacterBoxes;
using moratutor::test::Control;

namespace {

struct Box {
    QMessageBox::Icon icon;
    QString text;
};

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const QByteArray kNewFile =
    "[Main]\nWordWrapSourceText=1\nWordWrapConvertedText=1\nHighlightReplacements=0\n\n"
    "[Characters]\n1=0\n2=0\n3=0\n4=0\n5=0\n6=0\n7=0\n8=0\n9=0\n10=0\n11=0\n\n"
    "[Advanced]\nSnowball=0\nReplaceE=0\nReplaceSpaces=0\n";

bool Wraps(const QTextEdit* pane) { return pane->lineWrapMode() != QTextEdit::NoWrap; }

std::set<int> TickedGroups(const TFMain& w) {
    std::set<int> ticked;
    for (int n = 1; n <= 11; ++n)
        if (CharacterBoxes(w)[std::size_t(n - 1)]->isChecked()) ticked.insert(n);
    return ticked;
}

}  // namespace

class PreferencesWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QList<Box> boxes_;
    QString path_;

    std::unique_ptr<TFMain> NewWindow() {
        TFMain::SetPreferencesPathOverride(path_);
        return std::make_unique<TFMain>();
    }

    // As the program ends: the window closes, then it is destroyed and saves.
    static void CloseAndDestroy(std::unique_ptr<TFMain>& w) {
        w->close();
        w.reset();
    }

    QStringList Entries() const {
        return QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        path_ = dir_->filePath(QStringLiteral("tester.ini"));
        boxes_.clear();
        moratutor::ui::SetMessageSink(
            [this](QMessageBox::Icon icon, const QString&, const QString& text) { boxes_.append({icon, text}); });
    }

    void cleanup() {
        moratutor::ui::SetMessageSink({});
        TFMain::SetPreferencesPathOverride(QString());
        dir_.reset();
    }

    void defaultsWithoutAFileAndAFullNewFileAtTheEnd() {
        auto w = NewWindow();
        QVERIFY(Wraps(Control<QTextEdit>(*w, "richSourceTextAnsi")));
        QVERIFY(Wraps(Control<QTextEdit>(*w, "richConvertedTextUnicode")));
        QVERIFY(TickedGroups(*w).empty());
        QVERIFY(!Control<QCheckBox>(*w, "chkbxSnowball")->isChecked());
        QVERIFY(!Control<QCheckBox>(*w, "chkbxReplaceE")->isChecked());
        QVERIFY(!Control<QCheckBox>(*w, "chkbxReplaceSpaces")->isChecked());
        QVERIFY(!QFileInfo::exists(path_));
        CloseAndDestroy(w);
        QCOMPARE(ReadBytes(path_), kNewFile);
        QCOMPARE(Entries(), QStringList{QStringLiteral("tester.ini")});
        QVERIFY(boxes_.isEmpty());
    }

    void loadsEveryKey_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("sourceWraps");
        QTest::addColumn<bool>("convertedWraps");
        QTest::addColumn<QList<int>>("groups");
        QTest::addColumn<bool>("snowball");
        QTest::addColumn<bool>("replaceE");
        QTest::addColumn<bool>("replaceSpaces");

        QTest::newRow("source pane unwrapped alone")
            << QByteArray("[Main]\nWordWrapSourceText=0\n") << false << true << QList<int>{} << false << false << false;
        QTest::newRow("flag forms and names in any case")
            << QByteArray("[main]\n wordwrapconvertedtext = 0x0\n"
                          "[CHARACTERS]\n1=2\n2=-1\n3=0x10\n4=$1\n5=0\n6=00\n7=yes\n8=\n9=1.0\n12=1\n"
                          "[Advanced]\nSnowball=X1\nreplacee=1\nReplaceSpaces=0\n")
            << true << false << QList<int>{1, 2, 3, 4} << true << true << false;
        QTest::newRow("every group, also those not enabled yet")
            << QByteArray("[Characters]\r\n1=1\r\n2=1\r\n3=1\r\n4=1\r\n5=1\r\n6=1\r\n7=1\r\n8=1\r\n9=1\r\n10=1\r\n11=1\r\n"
                          "[Advanced]\r\nReplaceSpaces=1\r\n")
            << true << true << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11} << false << false << true;
        QTest::newRow("not an INI file")
            << QByteArray("\x00\x01\x02 binary \xFF\xFE", 14) << true << true << QList<int>{} << false << false << false;
    }

    void loadsEveryKey() {
        QFETCH(QByteArray, file);
        QFETCH(bool, sourceWraps);
        QFETCH(bool, convertedWraps);
        QFETCH(QList<int>, groups);
        QFETCH(bool, snowball);
        QFETCH(bool, replaceE);
        QFETCH(bool, replaceSpaces);
        WriteBytes(path_, file);
        auto w = NewWindow();
        QCOMPARE(Wraps(Control<QTextEdit>(*w, "richSourceTextAnsi")), sourceWraps);
        QCOMPARE(Wraps(Control<QTextEdit>(*w, "richConvertedTextUnicode")), convertedWraps);
        QCOMPARE(TickedGroups(*w), std::set<int>(groups.begin(), groups.end()));
        QCOMPARE(Control<QCheckBox>(*w, "chkbxSnowball")->isChecked(), snowball);
        QCOMPARE(Control<QCheckBox>(*w, "chkbxReplaceE")->isChecked(), replaceE);
        QCOMPARE(Control<QCheckBox>(*w, "chkbxReplaceSpaces")->isChecked(), replaceSpaces);
        QVERIFY(boxes_.isEmpty());
    }

    void dependentGroupsWithoutBaseGroupsAreClearedAndSavedCleared() {
        WriteBytes(path_, "[Characters]\n2=0\n3=0\n4=0\n5=1\n6=0\n10=1\n11=1\n");
        auto w = NewWindow();
        QCheckBox* group10 = Control<QCheckBox>(*w, "chkbxCharacters10");
        QCheckBox* group11 = Control<QCheckBox>(*w, "chkbxCharacters11");
        QVERIFY(group10->isChecked());  // set as read; the idle update settles it
        w->show();
        QTRY_VERIFY(!group10->isChecked());
        QVERIFY(!group10->isEnabled());
        // Group 5 is a base of group 11 only.
        QVERIFY(group11->isChecked());
        QVERIFY(group11->isEnabled());
        CloseAndDestroy(w);
        const moratutor::IniFile saved(path_);
        QCOMPARE(saved.ReadString(QStringLiteral("Characters"), QStringLiteral("10"), {}), QStringLiteral("0"));
        QCOMPARE(saved.ReadString(QStringLiteral("Characters"), QStringLiteral("11"), {}), QStringLiteral("1"));
        QCOMPARE(saved.ReadString(QStringLiteral("Characters"), QStringLiteral("5"), {}), QStringLiteral("1"));
    }

    void switchedWordWrapIsSavedSwitched() {
        auto w = NewWindow();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        Control<QTextEdit>(*w, "richSourceTextAnsi")->setFocus();
        QTRY_VERIFY(Control<QTextEdit>(*w, "richSourceTextAnsi")->hasFocus());
        QVERIFY(Control<QAction>(*w, "actWordWrapChange")->isChecked());
        Control<QAction>(*w, "actWordWrapChange")->trigger();
        QVERIFY(!Wraps(Control<QTextEdit>(*w, "richSourceTextAnsi")));
        QVERIFY(Wraps(Control<QTextEdit>(*w, "richConvertedTextUnicode")));
        CloseAndDestroy(w);
        const moratutor::IniFile saved(path_);
        QCOMPARE(saved.ReadString(QStringLiteral("Main"), QStringLiteral("WordWrapSourceText"), {}), QStringLiteral("0"));
        QCOMPARE(saved.ReadString(QStringLiteral("Main"), QStringLiteral("WordWrapConvertedText"), {}),
                 QStringLiteral("1"));
    }

    void savingKeepsTheRestOfTheFile() {
        WriteBytes(path_,
                   "; written by hand\r\n"
                   "[Window]\r\n"
                   "Left=5\r\n"
                   "\r\n"
                   "[characters]\r\n"
                   "12=1\r\n"
                   "3 = 1\r\n"
                   "\r\n"
                   "[Main]\r\n"
                   "WordWrapSourceText=0");
        auto w = NewWindow();
        Control<QCheckBox>(*w, "chkbxSnowball")->setChecked(true);
        Control<QCheckBox>(*w, "chkbxCharacters1")->setChecked(true);
        // Another copy of the program adds a line meanwhile; saving reads the file afresh.
        QFile file(path_);
        QVERIFY(file.open(QIODevice::Append));
        file.write("\r\n[Other]\r\nKey=value\r\n");
        file.close();
        CloseAndDestroy(w);
        QCOMPARE(ReadBytes(path_), QByteArray("; written by hand\r\n"
                                              "[Window]\r\n"
                                              "Left=5\r\n"
                                              "\r\n"
                                              "[characters]\r\n"
                                              "12=1\r\n"
                                              "3 = 1\r\n"
                                              "1=1\r\n"
                                              "2=0\r\n"
                                              "4=0\r\n"
                                              "5=0\r\n"
                                              "6=0\r\n"
                                              "7=0\r\n"
                                              "8=0\r\n"
                                              "9=0\r\n"
                                              "10=0\r\n"
                                              "11=0\r\n"
                                              "\r\n"
                                              "[Main]\r\n"
                                              "WordWrapSourceText=0\r\n"
                                              "WordWrapConvertedText=1\r\n"
                                              "HighlightReplacements=0\r\n"
                                              "[Other]\r\n"
                                              "Key=value\r\n"
                                              "\r\n"
                                              "[Advanced]\r\n"
                                              "Snowball=1\r\n"
                                              "ReplaceE=0\r\n"
                                              "ReplaceSpaces=0\r\n"));
    }

    void aFileThatCannotBeWrittenShowsTheErrorBoxOnce() {
        WriteBytes(dir_->filePath(QStringLiteral("blocker")), "a file, not a folder");
        path_ = dir_->filePath(QStringLiteral("blocker/tester.ini"));
        auto w = NewWindow();
        CloseAndDestroy(w);
        QCOMPARE(boxes_.size(), 1);
        QCOMPARE(boxes_[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes_[0].text, QStringLiteral("Unable to write to %1.").arg(path_));
        QCOMPARE(Entries(), QStringList{QStringLiteral("blocker")});
    }

    void aFolderInPlaceOfTheFileIsLeftAsItIs() {
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("tester.ini/inside")));
        auto w = NewWindow();
        CloseAndDestroy(w);
        QCOMPARE(boxes_.size(), 1);
        QCOMPARE(boxes_[0].text, QStringLiteral("Unable to write to %1.").arg(path_));
        QVERIFY(QFileInfo(path_).isDir());
        QCOMPARE(Entries(), QStringList{QStringLiteral("tester.ini")});
    }

    void withoutOverrideTheLoginNameNamesTheFile() {
        auto w = NewWindow();
        TFMain::SetPreferencesPathOverride(QString());
        const QString login = GetLoginUserName();
        // The test program's folder is writable, so the portable layout applies.
        const QString programDir = QCoreApplication::applicationDirPath();
        QVERIFY(QFileInfo(programDir).isWritable());
        if (login.isEmpty() || login.contains(QLatin1Char('/'))) QSKIP("login name needs replacing characters");
        QCOMPARE(TFMain::FormPreferencesPath(), programDir + QLatin1Char('/') + login + QStringLiteral(".ini"));
    }
};

int RunPreferencesWindowTest(int argc, char** argv) {
    PreferencesWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PreferencesWindowTest.moc"

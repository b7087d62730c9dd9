// The program's start-up as the desktop runs it ("moratutor FILE"), in a child process:
// the first file named is loaded, Qt's own options do not reach the window.
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <vector>

#include "Controls.h"
#include "MessageBoxes.h"
#include "UMain.h"
#include "UMainApplication.h"
#include "UiTests.h"

using namespace moratutor::ui;  // the windows under test

using moratutor::test::Control;

namespace {

// In the child: once the loop runs, tell what the window shows, and end the program.
void ReportTheWindowOnceRunning() {
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        QTextStream out(stdout);
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() != u"FMain") continue;
            QString text = Control<QTextEdit>(*window, "richSourceTextAnsi")->toPlainText();
            out << "visible " << window->isVisible() << '\n'
                << "direction " << (window->layoutDirection() == Qt::RightToLeft ? "rtl" : "ltr") << '\n'
                << "source " << text.replace(u'\n', u'|') << '\n';
        }
        out.flush();
        QCoreApplication::quit();
    });
}

}  // namespace

int RunMoratutorInChild(int argc, char** argv) {
    // argv: the preferences file, then the program's own arguments.
    if (argc < 2) return 2;
    TFMain::SetPreferencesPathOverride(QFile::decodeName(argv[1]));
    moratutor::ui::SetMessageSink([](QMessageBox::Icon, const QString&, const QString& text) {
        std::fprintf(stdout, "box %s\n", text.toUtf8().constData());
        std::fflush(stdout);
    });
    qAddPreRoutine(ReportTheWindowOnceRunning);
    std::vector<char*> arguments{argv[0]};
    arguments.insert(arguments.end(), argv + 2, argv + argc);
    return moratutor::ui::RunMoratutor(static_cast<int>(arguments.size()), arguments.data());
}

class StartUpTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString Path(const QString& name) const { return dir.filePath(name); }

    // What the started program reported, one line each.
    QStringList Start(const QStringList& arguments) {
        QProcess program;
        program.setWorkingDirectory(dir.path());
        program.setProcessChannelMode(QProcess::SeparateChannels);
        program.start(QCoreApplication::applicationFilePath(),
                      QStringList{QStringLiteral("RunMoratutor"), Path(QStringLiteral("prefs.ini"))} + arguments);
        if (!program.waitForFinished(60000)) {
            program.kill();
            return {QStringLiteral("did not end")};
        }
        return QString::fromUtf8(program.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }

    void Write(const QString& name, const QByteArray& bytes) {
        QFile file(Path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void startsWithTheFirstFileNamed_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("shown");
        const QStringList first{QStringLiteral("visible 1"), QStringLiteral("direction ltr"),
                                QStringLiteral("source первый|файл")};
        QTest::newRow("one file") << QStringList{QStringLiteral("first.txt")} << first;
        QTest::newRow("two files") << QStringList{QStringLiteral("first.txt"), QStringLiteral("second.txt")} << first;
        QTest::newRow("Qt's options before it") << QStringList{QStringLiteral("-reverse"), QStringLiteral("first.txt")}
                                                << first;
        QTest::newRow("Qt's option with a value") << QStringList{QStringLiteral("-style"), QStringLiteral("fusion"),
                                                                 QStringLiteral("first.txt")}
                                                  << first;
        QTest::newRow("a name like an option after --")
            << QStringList{QStringLiteral("--"), QStringLiteral("-dash.txt")}
            << QStringList{QStringLiteral("visible 1"), QStringLiteral("direction ltr"), QStringLiteral("source тире")};
        QTest::newRow("no file, -reverse")
            << QStringList{QStringLiteral("-reverse")}
            << QStringList{QStringLiteral("visible 1"), QStringLiteral("direction ltr"), QStringLiteral("source ")};
        QTest::newRow("a file that is not there")
            << QStringList{QStringLiteral("missing.epub")}
            << QStringList{QStringLiteral("box Cannot open file \"%1\". No such file or directory.")
                               .arg(Path(QStringLiteral("missing.epub"))),
                           QStringLiteral("visible 1"), QStringLiteral("direction ltr"), QStringLiteral("source ")};
    }
    void startsWithTheFirstFileNamed() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, shown);
        Write(QStringLiteral("first.txt"), "первый\nфайл");
        Write(QStringLiteral("second.txt"), "второй");
        Write(QStringLiteral("-dash.txt"), "тире");
        QStringList lines = Start(arguments);
        // "source " loses its trailing space in the split when the pane is empty.
        for (QString& line : lines) line = line.trimmed();
        for (QString& line : shown) line = line.trimmed();
        QCOMPARE(lines, shown);
    }
};

int RunStartUpTest(int argc, char** argv) {
    StartUpTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StartUpTest.moc"

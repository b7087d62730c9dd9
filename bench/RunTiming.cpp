// Times one conversion run over a long text, from the button press to the closing report,
// with every group and option ticked. Run it under Xvfb (or offscreen):
//   xvfb-run -a -s "-screen 0 1280x800x24" build/bin/mainwindow-run-timing [characters]
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>

#include <cstdio>

#include "MessageBoxes.h"
#include "UMain.h"
#include "UMainApplication.h"
#include "Controls.h"

int main(int argc, char** argv) {
using moratutor::test::CharacterBoxes;
using moratutor::test::Control;

    moratutor::ui::Application app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const qsizetype length = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 2'000'000;

    QTemporaryDir dir;
    TFMain::SetPreferencesPathOverride(dir.filePath(QStringLiteral("prefs.ini")));
    TFMain w;
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) return 1;

    const QString paragraph = QStringLiteral(
        "Мороз и солнце; день чудесный! Ещё ты дремлешь, друг прелестный, пора, красавица, проснись: "
        "открой сомкнуты негой взоры навстречу северной Авроры, звездою севера явись! Вечор, ты помнишь, "
        "вьюга злилась, на мутном небе мгла носилась; луна, как бледное пятно, сквозь тучи мрачные желтела, "
        "и ты печальная сидела — а нынче… погляди в окно.\n");
    QString text;
    text.reserve(length + paragraph.size());
    while (text.size() < length) text += paragraph;
    text.truncate(length);
    Control<QTextEdit>(w, "richSourceTextAnsi")->setPlainText(text);
    Control<QAction>(w, "actSelectAllCharacters")->trigger();
    for (QCheckBox* box : {Control<QCheckBox>(w, "chkbxSnowball"), Control<QCheckBox>(w, "chkbxReplaceE"), Control<QCheckBox>(w, "chkbxReplaceSpaces")}) box->setChecked(true);
    QTest::qWait(200);

    QElapsedTimer clock;
    qint64 reportAt = -1;
    QString report;
    moratutor::ui::SetMessageSink([&](QMessageBox::Icon, const QString&, const QString& t) {
        reportAt = clock.elapsed();
        report = t;
    });
    clock.start();
    Control<QPushButton>(w, "spdbtnReplaceWithHiragana")->click();
    const qint64 total = clock.elapsed();
    std::printf("characters: %lld\npress to report: %lld ms\npress to end of run: %lld ms\nreport: %s\n",
                static_cast<long long>(length), static_cast<long long>(reportAt), static_cast<long long>(total),
                report.toUtf8().constData());
    // What the user waits for after the report: the panes laid out and painted.
    clock.restart();
    QCoreApplication::processEvents();
    w.repaint();
    QCoreApplication::processEvents();
    std::printf("settling after the run: %lld ms\n", static_cast<long long>(clock.elapsed()));
    // The panes go on laying out the text in small steps; the program must stay responsive
    // meanwhile. A 10 ms timer over the next seconds shows the longest wait an input would see.
    QElapsedTimer tick;
    tick.start();
    qint64 longest = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { longest = std::max(longest, tick.restart()); });
    probe.start(10);
    QTest::qWait(4000);
    std::printf("longest pause in the 4 s after the run: %lld ms\n", static_cast<long long>(longest));
    return reportAt >= 0 ? 0 : 1;
}

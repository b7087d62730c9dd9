// The About window, the haiku draw, the links and the help page.
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEnterEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <stdio.h>

#include "Controls.h"
#include "UiTests.h"
#include "MessageBoxes.h"
#include "ShellOpen.h"
#include "UAbout.h"
#include "UHelp.h"
#include "UMain.h"
#include "UMostUsed.h"
#include "moratutor/Engine.h"

using namespace moratutor::ui;  // the windows under test
using namespace moratutor::about;
using namespace moratutor;

using moratutor::test::Control;

int ShowAboutVersionInChild(int argc, char** argv) {
    QApplication app(argc, argv);
    std::printf("ready\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    TFAbout about;
    std::printf("%s\n", Control<QGroupBox>(about, "grpbxAbout")->title().trimmed().toUtf8().constData());
    return 0;
}

// Takes the URLs the program hands to the desktop instead of opening them.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class AboutWindowTest : public QObject {
    Q_OBJECT

    UrlCatcher catcher;
    QTemporaryDir temp;

    static QStringList Collection() {
        QStringList lines;
        LoadStringsFromResource(lines, QStringLiteral("HAIKU"));
        return lines;
    }

    // The desktop's xdg-open and xdg-mime as scripts in a folder of their own, PATH pointing
    // only there; xdg-mime names `htmlHandler` for HTML. An empty handler: no tools at all.
    void FakeDesktop(const QString& htmlHandler) {
        const QString bin = temp.filePath(QStringLiteral("desktop-bin"));
        QDir(bin).removeRecursively();
        QVERIFY(QDir().mkpath(bin));
        qputenv("PATH", bin.toUtf8());
        if (htmlHandler.isEmpty()) return;
        for (const auto& [name, body] : {std::pair{"xdg-open", QStringLiteral("exit 0")},
                                         std::pair{"xdg-mime", QStringLiteral("echo ") + htmlHandler}}) {
            QFile tool(QDir(bin).filePath(QString::fromLatin1(name)));
            QVERIFY(tool.open(QIODevice::WriteOnly));
            tool.write(("#!/bin/sh\n" + body + "\n").toUtf8());
            tool.close();
            tool.setPermissions(tool.permissions() | QFileDevice::ExeOwner);
        }
    }

    static QColor TextColour(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

    // Whether the label, as drawn, shows text in this colour (anti-aliasing aside).
    static bool DrawnIn(QLabel* label, const QColor& colour) {
        const QImage image = label->grab().toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (std::abs(pixel.red() - colour.red()) < 40 && std::abs(pixel.green() - colour.green()) < 40 &&
                    std::abs(pixel.blue() - colour.blue()) < 40)
                    return true;
            }
        return false;
    }

    static void Hover(QLabel* label, bool enter) {
        if (enter) {
            QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
            QCoreApplication::sendEvent(label, &event);
        } else {
            QEvent event(QEvent::Leave);
            QCoreApplication::sendEvent(label, &event);
        }
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        for (const char* scheme : {"mailto", "https", "http", "file"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "open");
        moratutor::ui::SetMessageSink([](QMessageBox::Icon, const QString&, const QString& text) {
            QFAIL(qPrintable(QStringLiteral("unexpected message box: ") + text));
        });
    }

    void cleanupTestCase() {
        for (const char* scheme : {"mailto", "https", "http", "file"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    void init() { catcher.urls.clear(); }

    // A program upgraded while it runs still names its own version: the one of the running
    // image, not of the file that now has its name.
    void versionIsTheRunningPrograms() {
        QTemporaryDir temp;
        const QString program = temp.filePath(QStringLiteral("moratutor"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(environment);
        child.start(program, {QStringLiteral("AboutVersion")});
        QVERIFY(child.waitForReadyRead(20000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));

        QFile file(program);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray upgraded = file.readAll();
        file.close();
        const QByteArray running("\x02\x00\x01\x00\x89\x00\x13\x00", 8), next("\x09\x00\x09\x00\x09\x00\x09\x00", 8);
        QVERIFY(upgraded.contains(running));
        upgraded.replace(running, next);
        QFile fresh(temp.filePath(QStringLiteral("fresh")));
        QVERIFY(fresh.open(QIODevice::WriteOnly) && fresh.write(upgraded) == upgraded.size());
        fresh.close();
        QCOMPARE(::rename(QFile::encodeName(fresh.fileName()).constData(), QFile::encodeName(program).constData()), 0);
        QCOMPARE(GetFileVersionString(program), QStringLiteral("9.9.9.9"));

        child.write("go\n");
        child.closeWriteChannel();
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()).trimmed(), QStringLiteral("Версия 1.2.19.137"));
    }

    void captionVersionAndTexts() {
        TFAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("О программе"));
        QCOMPARE(about.size(), QSize(401, 219));
        // This test links the program's resources, so it carries the version block too.
        QCOMPARE(Control<QGroupBox>(about, "grpbxAbout")->title(), QStringLiteral(" Версия 1.2.19.137 "));
        QVERIFY(Control<QLabel>(about, "lblCaption")->font().bold());
        QVERIFY(Control<QLabel>(about, "lblCopyright")->text().contains(QStringLiteral("Moratutor")));
        // The specified texts, hints and places, from one table. A link moves right only as
        // far as a wider face pushes its caption.
        struct Row {
            const char* name;
            const char* text;  // nullptr: not checked here
            const char* hint;
            QPoint topLeft;
            bool mayMoveRight = false;
        };
        const Row rows[] = {
            {"grpbxAbout", nullptr, "", {8, 8}},
            {"lblCaption", "Moratutor", "", {72, 24}},
            {"imgMainIcon", nullptr, "", {24, 24}},
            {"lblHint", "Лучший способ изучения каны", "", {72, 44}},
            {"Bevel1", nullptr, "", {8, 64}},
            {"lblCopyright", nullptr, "", {24, 72}},
            {"lblEMail", "e-mail:", "", {24, 88}},
            {"lblSendEMail", "moratutor@example.org", "Пишите письма мелким шрифтом", {58, 88}, true},
            {"lblMadeFor", "специально для:", "", {24, 104}},
            {"lblGoToURL", "https://moratutor.example.org/", "Самоучитель Японского языка", {111, 104}, true},
            {"ToolBar", nullptr, "", {8, 189}},
            {"tbtnClose", nullptr, "Закрыть (Esc)", {0, 0}},
        };
        for (const Row& row : rows) {
            QWidget* control = Control<QWidget>(about, row.name);
            if (row.text) QCOMPARE(Control<QLabel>(about, row.name)->text(), QString::fromUtf8(row.text));
            QCOMPARE(control->toolTip(), QString::fromUtf8(row.hint));
            QCOMPARE(control->y(), row.topLeft.y());
            if (row.mayMoveRight) QVERIFY2(control->x() >= row.topLeft.x(), row.name);
            else QCOMPARE(control->x(), row.topLeft.x());
        }
        // Image 7 of the main window's list: a white cross on a red square.
        const QImage close = Control<QToolButton>(about, "tbtnClose")->icon().pixmap(16, 16).toImage();
        bool red = false, white = false;
        for (int y = 0; y < close.height(); ++y)
            for (int x = 0; x < close.width(); ++x) {
                const QColor c = close.pixelColor(x, y);
                red = red || (c.alpha() == 255 && c.red() > 160 && c.green() < 90 && c.blue() < 90);
                white = white || (c.alpha() == 255 && c.red() > 230 && c.green() > 230 && c.blue() > 230);
            }
        QVERIFY(red && white);
    }

    void layout() {
        TFAbout about;
        QCOMPARE(Control<QGroupBox>(about, "grpbxAbout")->size(), QSize(385, 177));
        QCOMPARE(Control<QLabel>(about, "imgMainIcon")->size(), QSize(32, 32));
        QCOMPARE(Control<QToolButton>(about, "tbtnClose")->size(), QSize(23, 22));
        // The links must not run into each other or past the group box.
        QVERIFY(Control<QLabel>(about, "lblGoToURL")->geometry().right() < Control<QGroupBox>(about, "grpbxAbout")->width());
        QVERIFY(Control<QLabel>(about, "lblMadeFor")->geometry().right() < Control<QLabel>(about, "lblGoToURL")->x());
        QVERIFY(Control<QLabel>(about, "lblEMail")->geometry().right() < Control<QLabel>(about, "lblSendEMail")->x());
    }

    void haikuLabelKeepsItsRightEdge() {
        TFAbout about;
        const QStringList lines = Collection();
        // The shortest and the longest haiku: the right edge stays, the label grows left.
        QString shortest = lines.first(), longest = lines.first();
        for (const QString& line : lines) {
            if (line.size() < shortest.size())
                shortest = line;
            if (line.size() > longest.size())
                longest = line;
        }
        for (const QString& line : {shortest, longest}) {
            QString haiku = line;
            haiku.replace(u'|', u'\r');
            about.SetHaikuText(haiku);
            QCOMPARE(Control<QLabel>(about, "lblHaiku")->x() + Control<QLabel>(about, "lblHaiku")->width(), moratutor::about::kHaikuRightEdge);
            QCOMPARE(Control<QLabel>(about, "lblHaiku")->y(), moratutor::about::kHaikuTop);
            QCOMPARE(Control<QLabel>(about, "lblHaiku")->text().count(u'\n'), 2);
            QVERIFY(Control<QLabel>(about, "lblHaiku")->x() > 0);
            // Below every other control of the group box.
            QVERIFY(Control<QLabel>(about, "lblHaiku")->y() > Control<QLabel>(about, "lblGoToURL")->geometry().bottom());
            QVERIFY(Control<QLabel>(about, "lblHaiku")->geometry().bottom() < Control<QGroupBox>(about, "grpbxAbout")->height());
        }
        QVERIFY(!Control<QLabel>(about, "lblHaiku")->isEnabled());
        QVERIFY(Control<QLabel>(about, "lblHaiku")->alignment().testFlag(Qt::AlignRight));
        QVERIFY(!Control<QLabel>(about, "lblHaiku")->wordWrap());
    }

    void everyHaikuGivesThreeDisplayLines() {
        const QStringList lines = Collection();
        QVERIFY(lines.size() >= 100);
        for (int i = 0; i < lines.size(); ++i) {
            const QString haiku = moratutor::about::detail::GetRandomHaikuWith([i](std::uint32_t) { return i; });
            const QStringList verses = haiku.split(u'\r');
            QCOMPARE(verses.size(), 3);
            QVERIFY(!haiku.contains(u'|'));
            QVERIFY(!haiku.contains(u'\n'));
            for (const QString& verse : verses)
                QVERIFY(!verse.isEmpty());
            QCOMPARE(verses.join(u'|'), lines[i]);
        }
    }

    void firstAndLastLineCanBeDrawnWithOneDraw() {
        const QStringList lines = Collection();
        const auto n = static_cast<std::uint32_t>(lines.size());
        for (const std::uint32_t pick : {0u, n - 1}) {
            int draws = 0;
            std::uint32_t askedFor = 0;
            const QString haiku = moratutor::about::detail::GetRandomHaikuWith([&](std::uint32_t below) {
                ++draws;
                askedFor = below;
                return pick;
            });
            QCOMPARE(draws, 1);
            QCOMPARE(askedFor, n);
            QCOMPARE(QString(haiku).replace(u'\r', u'|'), lines[static_cast<qsizetype>(pick)]);
        }
        // A draw outside the collection is an error, not a read past its end.
        QVERIFY_THROWS_EXCEPTION(std::out_of_range,
                                 moratutor::about::detail::GetRandomHaikuWith([n](std::uint32_t) { return n; }));
    }

    void eachShowingTakesOneDrawFromTheProgramsGenerator() {
        const QStringList lines = Collection();
        const auto n = static_cast<std::uint32_t>(lines.size());
        for (const std::uint64_t seed : {1u, 77u, 20261208u}) {
            moratutor::SeedRandom(seed);
            const std::uint32_t first = moratutor::RandomBelow(n);
            const std::uint32_t after = moratutor::RandomBelow(1000000);

            moratutor::SeedRandom(seed);
            TFAbout about;
            QString expected = lines[static_cast<qsizetype>(first)];
            QCOMPARE(Control<QLabel>(about, "lblHaiku")->text(), expected.replace(u'|', u'\n'));
            QCOMPARE(moratutor::RandomBelow(1000000), after);
        }
    }

    void mailAndWebLinks() {
        TFAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::mouseClick(Control<QLabel>(about, "lblSendEMail"), Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseClick(Control<QLabel>(about, "lblGoToURL"), Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(catcher.urls.size(), 2);
        QCOMPARE(catcher.urls[0].toString(), QStringLiteral("mailto:moratutor@example.org?subject=Moratutor"));
        QCOMPARE(catcher.urls[0].query(), QStringLiteral("subject=") + moratutor::ui::ApplicationTitle());
        QCOMPARE(catcher.urls[1].toString(), Control<QLabel>(about, "lblGoToURL")->text());
        // Other buttons and the other labels open nothing.
        QTest::mouseClick(Control<QLabel>(about, "lblSendEMail"), Qt::RightButton, {}, QPoint(3, 3));
        QTest::mouseClick(Control<QLabel>(about, "lblCopyright"), Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(catcher.urls.size(), 2);
        QVERIFY(about.isVisible());
        QCOMPARE(moratutor::about::MailLinkTarget(), QStringLiteral("mailto:moratutor@example.org?subject=Moratutor"));
    }

    void linkHoverLook() {
        TFAbout about;
        const QColor blue(0, 0, 255), red(255, 0, 0);
        for (QLabel* link : {Control<QLabel>(about, "lblSendEMail"), Control<QLabel>(about, "lblGoToURL")}) {
            QCOMPARE(TextColour(link), blue);
            QVERIFY(!link->font().underline());
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            QVERIFY(DrawnIn(link, blue));
            QVERIFY(!DrawnIn(link, red));
        }
        const QString text = Control<QLabel>(about, "lblSendEMail")->text();
        const QSize size = Control<QLabel>(about, "lblSendEMail")->size();
        Hover(Control<QLabel>(about, "lblSendEMail"), true);
        QCOMPARE(TextColour(Control<QLabel>(about, "lblSendEMail")), red);
        QVERIFY(Control<QLabel>(about, "lblSendEMail")->font().underline());
        QVERIFY(DrawnIn(Control<QLabel>(about, "lblSendEMail"), red));
        QVERIFY(!Control<QLabel>(about, "lblSendEMail")->font().bold());
        QCOMPARE(Control<QLabel>(about, "lblSendEMail")->text(), text);
        QCOMPARE(Control<QLabel>(about, "lblSendEMail")->size(), size);
        // Straight from one link onto the other.
        Hover(Control<QLabel>(about, "lblSendEMail"), false);
        Hover(Control<QLabel>(about, "lblGoToURL"), true);
        QCOMPARE(TextColour(Control<QLabel>(about, "lblSendEMail")), blue);
        QVERIFY(!Control<QLabel>(about, "lblSendEMail")->font().underline());
        QCOMPARE(TextColour(Control<QLabel>(about, "lblGoToURL")), red);
        QVERIFY(Control<QLabel>(about, "lblGoToURL")->font().underline());
        Hover(Control<QLabel>(about, "lblGoToURL"), false);
        QCOMPARE(TextColour(Control<QLabel>(about, "lblGoToURL")), blue);
        QVERIFY(!Control<QLabel>(about, "lblGoToURL")->font().underline());
    }

    void escClosesEnterDoesNot() {
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_A}) {
            TFAbout about;
            about.show();
            QVERIFY(QTest::qWaitForWindowExposed(&about));
            QTest::keyClick(&about, key);
            QVERIFY2(about.isVisible(), qPrintable(QKeySequence(key).toString()));
        }
        TFAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::keyClick(&about, Qt::Key_Escape);
        QVERIFY(!about.isVisible());
    }

    void closeButtonCloses() {
        TFAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::mouseClick(Control<QToolButton>(about, "tbtnClose"), Qt::LeftButton);
        QVERIFY(!about.isVisible());
    }

    void showAboutRunsTheWholeCycle() {
        // Twice: each showing builds a new window and frees it.
        for (int showing = 0; showing < 2; ++showing) {
            QPointer<TFAbout> seen;
            bool modal = false;
            QTimer::singleShot(0, [&] {
                seen = FAbout;
                QVERIFY(seen);
                modal = seen->isModal();
                QTest::keyClick(seen, Qt::Key_Escape);
            });
            ShowAbout();
            QVERIFY(modal);
            QVERIFY(FAbout == nullptr);
            QVERIFY(seen.isNull());  // freed
        }
    }

    void portraitWhileCtrlIsHeld() {
        // A key pressed through QTest reaches the keyboard state only on the offscreen platform;
        // a real windowing system is asked for the state of the real keyboard.
        if (QGuiApplication::platformName() != QStringLiteral("offscreen"))
            QSKIP("needs the offscreen platform");
        auto picture = [](const char* path) {
            return QPixmap(QString::fromLatin1(path)).toImage().convertToFormat(QImage::Format_ARGB32);
        };
        const QImage icon = picture(":/about/icon32.png");
        const QImage portrait = picture(":/about/ME.bmp");
        QVERIFY(icon != portrait);
        QCOMPARE(portrait.size(), QSize(32, 32));
        QCOMPARE(icon.size(), QSize(32, 32));
        auto shown = [](const TFAbout& about) {
            return Control<QLabel>(about, "imgMainIcon")->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
        };

        QWidget keyboard;
        keyboard.show();
        QVERIFY(QTest::qWaitForWindowExposed(&keyboard));
        QTest::keyPress(keyboard.windowHandle(), Qt::Key_Control, Qt::ControlModifier);
        QVERIFY(IsCtrlKeyDown());
        {
            TFAbout about;
            QCOMPARE(shown(about), portrait);
            // Letting go of Ctrl later changes nothing.
            QTest::keyRelease(keyboard.windowHandle(), Qt::Key_Control, Qt::NoModifier);
            QCOMPARE(shown(about), portrait);
        }
        QVERIFY(!IsCtrlKeyDown());
        TFAbout about;
        QCOMPARE(shown(about), icon);
    }

    void helpPagePathRule_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("page");
        QTest::newRow("no extension") << "/usr/bin/moratutor" << "/usr/bin/moratutor.htm";
        QTest::newRow("extension") << "/opt/Reader.exe" << "/opt/Reader.htm";
        QTest::newRow("two dots") << "/opt/a.b.exe" << "/opt/a.b.htm";
        QTest::newRow("dot in folder only") << "/opt/v1.2/moratutor" << "/opt/v1.2/moratutor.htm";
        QTest::newRow("windows path") << "C:\\Tools\\Reader.exe" << "C:\\Tools\\Reader.htm";
        QTest::newRow("windows dotted folder") << "C:\\a.b\\prog" << "C:\\a.b\\prog.htm";
        QTest::newRow("bare name") << "moratutor" << "moratutor.htm";
        QTest::newRow("trailing dot") << "/opt/prog." << "/opt/prog.htm";
    }

    void helpPagePathRule() {
        QFETCH(QString, program);
        QFETCH(QString, page);
        QCOMPARE(TFMain::HelpPagePath(program), page);
    }

    void helpOpensThePageBesideTheProgram_data() {
        QTest::addColumn<QString>("htmlHandler");  // empty: no xdg-open on the desktop
        QTest::addColumn<bool>("pageThere");
        QTest::addColumn<bool>("inBrowser");
        QTest::newRow("a browser takes HTML") << "firefox-esr.desktop" << true << true;
        QTest::newRow("this program takes HTML") << "moratutor.desktop" << true << false;
        QTest::newRow("so does its reverse-DNS entry") << "org.example.moratutor.desktop" << true << false;
        QTest::newRow("no xdg-open") << "" << true << false;
        QTest::newRow("page missing") << "firefox-esr.desktop" << false << false;
    }

    // F1 shows the page in the desktop's browser only where one really takes HTML; else in
    // the program's own help window, one only, never in a second converter window.
    void helpOpensThePageBesideTheProgram() {
        QFETCH(QString, htmlHandler);
        QFETCH(bool, pageThere);
        QFETCH(bool, inBrowser);
        const QString page = TFMain::HelpPagePath(QCoreApplication::applicationFilePath());
        QFile::remove(page);
        if (pageThere) {
            QFile file(page);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<html><head><title>T</title></head><body><p>Страница для проверки</p></body></html>");
        }
        const QByteArray path = qgetenv("PATH");
        FakeDesktop(htmlHandler);
        TFMain::SetPreferencesPathOverride(temp.filePath(QStringLiteral("prefs.ini")));
        {
            TFMain window;
            Control<QAction>(window, "actHelp")->trigger();
            Control<QAction>(window, "actHelp")->trigger();
            const QList<TFHelp*> helpWindows = window.findChildren<TFHelp*>();
            if (inBrowser) {
                QCOMPARE(catcher.urls, (QList<QUrl>{QUrl::fromLocalFile(page), QUrl::fromLocalFile(page)}));
                QVERIFY(helpWindows.isEmpty());
            } else {
                QVERIFY(catcher.urls.isEmpty());
                QCOMPARE(helpWindows.size(), 1);
                QVERIFY(helpWindows[0]->isVisible());
                QCOMPARE(helpWindows[0]->windowTitle(), QStringLiteral("Справка: Moratutor"));
                QVERIFY(helpWindows[0]->Browser()->toPlainText().contains(
                    pageThere ? QStringLiteral("Страница для проверки") : QStringLiteral("Страница справки не найдена")));
            }
        }
        TFMain::SetPreferencesPathOverride(QString());
        qputenv("PATH", path);
        QFile::remove(page);
    }

    void ownHelpWindowFollowsLinksBackAndCloses() {
        TFHelp help;
        help.ShowPage(QStringLiteral(MORATUTOR_HELP_PAGE));
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        auto* back = Control<QPushButton>(help, "btnBack");
        auto* forward = Control<QPushButton>(help, "btnForward");
        QVERIFY(!back->isEnabled() && !forward->isEnabled());
        QUrl keys = help.Browser()->source();
        keys.setFragment(QStringLiteral("keys"));
        help.Browser()->setSource(keys);
        QVERIFY(back->isEnabled());
        back->click();
        QVERIFY(!back->isEnabled() && forward->isEnabled());
        QTest::keyClick(&help, Qt::Key_Escape);
        QVERIFY(!help.isVisible());
    }

    // The page is the user's guide: every menu item, its key and every menu are named in it.
    void helpPageNamesEveryMenuItemAndKey() {
        QFile file(QStringLiteral(MORATUTOR_HELP_PAGE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QTextDocument document;
        document.setHtml(QString::fromUtf8(file.readAll()));
        const QString text = document.toPlainText().simplified();
        TFMain::SetPreferencesPathOverride(temp.filePath(QStringLiteral("prefs.ini")));
        {
            TFMain window;
            int items = 0;
            for (const QAction* action : window.findChildren<QAction*>()) {
                if (action->text().isEmpty() || action->isSeparator() || action->menu()) continue;
                ++items;
                QVERIFY2(text.contains(action->text()), qPrintable(action->text()));
                const QString key = action->shortcut().toString(QKeySequence::PortableText);
                QVERIFY2(key.isEmpty() || text.contains(key), qPrintable(key));
            }
            QVERIFY(items >= 21);
            for (const char* menu : {"menuFile", "menuEdit", "menuHelp"})
                QVERIFY(text.contains(Control<QMenu>(window, menu)->title()));
        }
        TFMain::SetPreferencesPathOverride(QString());
    }

    void shellOpenFileTargets() {
        ShellOpenFile(QStringLiteral("/tmp/some page.htm"));
        ShellOpenFile(QStringLiteral("https://moratutor.example.org/"));
        ShellOpenFile(QStringLiteral("mailto:a@example.org?subject=Moratutor"));
        ShellOpenFile(QString());  // nothing to open: nothing happens
        ShellOpenFile(QStringLiteral("page.htm"));
        QCOMPARE(catcher.urls.size(), 4);
        QCOMPARE(catcher.urls[3], QUrl::fromLocalFile(QDir::current().absoluteFilePath(QStringLiteral("page.htm"))));
        QCOMPARE(catcher.urls[0], QUrl::fromLocalFile(QStringLiteral("/tmp/some page.htm")));
        QCOMPARE(catcher.urls[1], QUrl(QStringLiteral("https://moratutor.example.org/")));
        QCOMPARE(catcher.urls[2].scheme(), QStringLiteral("mailto"));
        QCOMPARE(catcher.urls[2].path(), QStringLiteral("a@example.org"));
    }

    void applicationIconHasFourSizes() {
        const QIcon icon = moratutor::about::ApplicationIcon();
        const QList<QSize> sizes = icon.availableSizes();
        for (const int size : {16, 24, 32, 48})
            QVERIFY(sizes.contains(QSize(size, size)));
    }
};

int RunAboutWindowTest(int argc, char** argv) {
    AboutWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AboutWindowTest.moc"

// Where the help page is found: beside the program first, then in the installed data folder;
// and whether the desktop's browser is asked to show it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include "HelpPage.h"

using moratutor::FindHelpPage;
using moratutor::BrowserShowsHtml;
using moratutor::InstalledHelpDirs;

TEST(HelpPageTest, BesideTheProgramFirstThenTheDataFolders) {
    const QStringList docDirs{QStringLiteral("/opt/mt/share/moratutor"), QString(),
                              QStringLiteral("/usr/share/moratutor")};
    const struct {
        const char* what;
        QSet<QString> existing;
        const char* expected;
    } cases[] = {
        {"build tree", {"/opt/mt/bin/moratutor.htm"}, "/opt/mt/bin/moratutor.htm"},
        {"both: the one beside wins",
         {"/opt/mt/bin/moratutor.htm", "/usr/share/moratutor/moratutor.htm"},
         "/opt/mt/bin/moratutor.htm"},
        {"relocated package", {"/opt/mt/share/moratutor/moratutor.htm"}, "/opt/mt/share/moratutor/moratutor.htm"},
        {"package", {"/usr/share/moratutor/moratutor.htm"}, "/usr/share/moratutor/moratutor.htm"},
        {"documentation folder only: minimal installs drop it, so it is not asked",
         {"/usr/share/doc/moratutor/moratutor.htm"}, "/opt/mt/bin/moratutor.htm"},
        {"nowhere: still the page beside", {}, "/opt/mt/bin/moratutor.htm"},
        {"another name is not the page", {"/usr/share/moratutor/other.htm"}, "/opt/mt/bin/moratutor.htm"},
    };
    for (const auto& c : cases) {
        const auto exists = [&](const QString& path) { return c.existing.contains(path); };
        EXPECT_EQ(FindHelpPage(QStringLiteral("/opt/mt/bin/moratutor.htm"), docDirs, exists).toStdString(), c.expected)
            << c.what;
    }
}

TEST(HelpPageTest, AnInstalledTreeFindsItsPageWhereverItLies) {
    // A package unpacked somewhere other than the root: usr/bin beside usr/share/moratutor.
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QDir tree(root.path());
    ASSERT_TRUE(tree.mkpath(QStringLiteral("usr/bin")));
    const QStringList docDirs = InstalledHelpDirs(tree.filePath(QStringLiteral("usr/bin")));
    ASSERT_FALSE(docDirs.isEmpty());
    ASSERT_TRUE(QDir().mkpath(docDirs.first()));
    const QString page = QDir(docDirs.first()).filePath(QStringLiteral("moratutor.htm"));
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(docDirs.first(), tree.filePath(QStringLiteral("usr/share/moratutor")));
    EXPECT_EQ(FindHelpPage(tree.filePath(QStringLiteral("usr/bin/moratutor.htm"))), page);
}

TEST(HelpPageTest, TheBrowserIsAskedOnlyWhenAnotherProgramTakesHtml) {
    const struct {
        bool haveXdgOpen;
        const char* handler;
        bool expected;
    } cases[] = {
        {true, "firefox-esr.desktop", true},
        {true, "chromium.desktop\n", true},
        {true, "org.gnome.Epiphany.desktop", true},
        {true, "moratutor-viewer.desktop", true},
        {true, "moratutor.desktop", false},
        {true, "Moratutor.desktop", false},
        {true, "org.example.moratutor.desktop", false},
        {true, "org.example.moratutor", false},
        {true, "", false},
        {true, "  \n", false},
        {false, "firefox-esr.desktop", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BrowserShowsHtml(c.haveXdgOpen, QString::fromUtf8(c.handler)), c.expected) << c.handler;
}

// The desktop's tools replaced by scripts in a folder of their own, PATH pointing there only.
class DesktopTools : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QByteArray oldPath = qgetenv("PATH");
    void TearDown() override { qputenv("PATH", oldPath); }
    void Tool(const char* name, const QByteArray& body) {
        QFile file(QDir(dir.path()).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        qputenv("PATH", dir.path().toUtf8());
    }
};

TEST_F(DesktopTools, AskTheDesktopWhoTakesHtml) {
    const struct {
        const char* what;
        const char* xdgOpen;
        const char* xdgMime;
        bool expected;
    } cases[] = {
        {"a browser", "exit 0", "echo firefox-esr.desktop", true},
        {"this program", "exit 0", "echo moratutor.desktop", false},
        {"nobody", "exit 0", "exit 0", false},
        {"xdg-mime fails", "exit 0", "echo firefox-esr.desktop; exit 4", false},
        {"no xdg-open", nullptr, "echo firefox-esr.desktop", false},
        {"no xdg-mime", "exit 0", nullptr, false},
        {"too slow to answer", "exit 0", "/bin/sleep 5; echo firefox-esr.desktop", false},
    };
    for (const auto& c : cases) {
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        qputenv("PATH", dir.path().toUtf8());
        if (c.xdgOpen) Tool("xdg-open", c.xdgOpen);
        if (c.xdgMime) Tool("xdg-mime", c.xdgMime);
        EXPECT_EQ(BrowserShowsHtml(300), c.expected) << c.what;
    }
}

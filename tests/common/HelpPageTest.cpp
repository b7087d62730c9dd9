// Where the help page is found: beside the program first, then with the installed documents.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include "HelpPage.h"

using moratutor::FindHelpPage;
using moratutor::InstalledDocDirs;

TEST(HelpPageTest, BesideTheProgramFirstThenTheDocumentFolders) {
    const QStringList docDirs{QStringLiteral("/opt/mt/share/doc/moratutor"), QString(),
                              QStringLiteral("/usr/share/doc/moratutor")};
    const struct {
        const char* what;
        QSet<QString> existing;
        const char* expected;
    } cases[] = {
        {"build tree", {"/opt/mt/bin/moratutor.htm"}, "/opt/mt/bin/moratutor.htm"},
        {"both: the one beside wins",
         {"/opt/mt/bin/moratutor.htm", "/usr/share/doc/moratutor/moratutor.htm"},
         "/opt/mt/bin/moratutor.htm"},
        {"relocated package", {"/opt/mt/share/doc/moratutor/moratutor.htm"}, "/opt/mt/share/doc/moratutor/moratutor.htm"},
        {"package", {"/usr/share/doc/moratutor/moratutor.htm"}, "/usr/share/doc/moratutor/moratutor.htm"},
        {"nowhere: still the page beside", {}, "/opt/mt/bin/moratutor.htm"},
        {"another name is not the page", {"/usr/share/doc/moratutor/other.htm"}, "/opt/mt/bin/moratutor.htm"},
    };
    for (const auto& c : cases) {
        const auto exists = [&](const QString& path) { return c.existing.contains(path); };
        EXPECT_EQ(FindHelpPage(QStringLiteral("/opt/mt/bin/moratutor.htm"), docDirs, exists).toStdString(), c.expected)
            << c.what;
    }
}

TEST(HelpPageTest, AnInstalledTreeFindsItsPageWhereverItLies) {
    // A package unpacked somewhere other than the root: usr/bin beside usr/share/doc/moratutor.
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QDir tree(root.path());
    ASSERT_TRUE(tree.mkpath(QStringLiteral("usr/bin")));
    const QStringList docDirs = InstalledDocDirs(tree.filePath(QStringLiteral("usr/bin")));
    ASSERT_FALSE(docDirs.isEmpty());
    ASSERT_TRUE(QDir().mkpath(docDirs.first()));
    const QString page = QDir(docDirs.first()).filePath(QStringLiteral("moratutor.htm"));
    QFile file(page);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(docDirs.first().startsWith(root.path())) << docDirs.first().toStdString();
    EXPECT_EQ(FindHelpPage(tree.filePath(QStringLiteral("usr/bin/moratutor.htm"))), page);
}

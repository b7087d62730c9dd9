// Where the per-user preferences file lives.
#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include "PreferencesPath.h"

using moratutor::ChoosePreferencesPath;
using moratutor::PreferencesPathChecks;

namespace {

PreferencesPathChecks Fixed(bool fileExists, bool dirWritable) {
    return {[=](const QString&) { return fileExists; }, [=](const QString&) { return dirWritable; }};
}

TEST(PreferencesPathTest, BesideTheExecutableWhenPossibleElseInTheConfigFolder) {
    const struct {
        const char* what;
        bool fileExists;
        bool dirWritable;
        const char* configDir;
        const char* expected;
    } cases[] = {
        {"portable: writable folder", false, true, "/home/ann/.config/Moratutor", "/opt/mt/ann.ini"},
        {"portable: file there, folder read-only", true, false, "/home/ann/.config/Moratutor", "/opt/mt/ann.ini"},
        {"both", true, true, "/home/ann/.config/Moratutor", "/opt/mt/ann.ini"},
        {"installed: neither", false, false, "/home/ann/.config/Moratutor", "/home/ann/.config/Moratutor/ann.ini"},
        {"no config folder known", false, false, "", "/opt/mt/ann.ini"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChoosePreferencesPath(QStringLiteral("/opt/mt"), QStringLiteral("ann"), QString::fromUtf8(c.configDir),
                                        Fixed(c.fileExists, c.dirWritable))
                      .toStdString(),
                  c.expected)
            << c.what;
    }
}

TEST(PreferencesPathTest, AsksAboutTheFileBesideTheExecutableAndItsFolder) {
    QString askedFile;
    QString askedDir;
    const PreferencesPathChecks checks{[&](const QString& p) { askedFile = p; return false; },
                                       [&](const QString& d) { askedDir = d; return false; }};
    ChoosePreferencesPath(QStringLiteral("/usr/bin"), QStringLiteral("bob"), QStringLiteral("/cfg"), checks);
    EXPECT_EQ(askedFile, QStringLiteral("/usr/bin/bob.ini"));
    EXPECT_EQ(askedDir, QStringLiteral("/usr/bin"));
}

TEST(PreferencesPathTest, LoginNameNamesTheFile) {
    const struct {
        const char* login;
        const char* expected;
    } cases[] = {
        {"ann", "/opt/mt/ann.ini"},
        {"Unknown", "/opt/mt/Unknown.ini"},
        {"", "/opt/mt/Unknown.ini"},
        {"../etc/passwd", "/opt/mt/.._etc_passwd.ini"},
        {"\xD0\xB8\xD0\xB2\xD0\xB0\xD0\xBD", "/opt/mt/\xD0\xB8\xD0\xB2\xD0\xB0\xD0\xBD.ini"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChoosePreferencesPath(QStringLiteral("/opt/mt"), QString::fromUtf8(c.login), QStringLiteral("/cfg"),
                                        Fixed(false, true))
                      .toStdString(),
                  c.expected)
            << c.login;
    }
}

TEST(PreferencesPathTest, TwoLoginNamesGiveTwoFiles) {
    const QString exeDir = QStringLiteral("/opt/mt");
    QSet<QString> paths;
    for (const bool writable : {true, false}) {
        paths.insert(ChoosePreferencesPath(exeDir, QStringLiteral("ann"), QStringLiteral("/cfg"), Fixed(false, writable)));
        paths.insert(ChoosePreferencesPath(exeDir, QStringLiteral("bob"), QStringLiteral("/cfg"), Fixed(false, writable)));
    }
    EXPECT_EQ(paths.size(), 4);
}

TEST(PreferencesPathTest, RealChecksOnTemporaryFolders) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString exeDir = root.filePath(QStringLiteral("bin"));
    const QString configDir = root.filePath(QStringLiteral("config"));
    ASSERT_TRUE(QDir().mkpath(exeDir));

    // A writable folder keeps the portable layout.
    EXPECT_EQ(ChoosePreferencesPath(exeDir, QStringLiteral("ann"), configDir), exeDir + QStringLiteral("/ann.ini"));

    // A folder that cannot be written (here: one that cannot exist, as root ignores
    // permissions) sends the file to the configuration folder.
    const QString blocker = root.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString badExeDir = blocker + QStringLiteral("/bin");
    EXPECT_EQ(ChoosePreferencesPath(badExeDir, QStringLiteral("ann"), configDir),
              configDir + QStringLiteral("/ann.ini"));
}

}  // namespace

TEST(PreferencesPathTest, AnInstalledProgramKeepsPreferencesOutOfUsrEvenForRoot) {
    // Root may write /usr/bin, but a file left there outlives the package that put the program there.
    if (QFileInfo::exists(QStringLiteral("/usr/bin/ann-preferences-test.ini")))
        GTEST_SKIP() << "a preferences file of that name already lies in /usr/bin";
    EXPECT_EQ(ChoosePreferencesPath(QStringLiteral("/usr/bin"), QStringLiteral("ann-preferences-test"),
                                    QStringLiteral("/home/ann/.config/Moratutor"))
                  .toStdString(),
              "/home/ann/.config/Moratutor/ann-preferences-test.ini");
}

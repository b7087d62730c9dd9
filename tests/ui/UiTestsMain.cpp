// Runs the window test classes: "ui_tests CLASS [Qt Test options]" runs one, "ui_tests" all.
#include <QStandardPaths>

#include <cstring>
#include <vector>

#include "UMainApplication.h"
#include "UiTests.h"

namespace {

struct TestClass {
    const char* name;
    int (*run)(int argc, char** argv);
};

constexpr TestClass kClasses[] = {
    {"AboutWindowTest", RunAboutWindowTest},
    {"BooksAndOtherFilesWindowTest", RunBooksAndOtherFilesWindowTest},
    {"ConversionRunTest", RunConversionRunTest},
    {"LearnersAidsTest", RunLearnersAidsTest},
    {"LearnersAidsWindowTest", RunLearnersAidsWindowTest},
    {"MainWindowTest", RunMainWindowTest},
    {"PaneAccessibilityTest", RunPaneAccessibilityTest},
    {"PaneDocumentTest", RunPaneDocumentTest},
    {"PaneLayoutTest", RunPaneLayoutTest},
    {"FormattedConversionTest", RunFormattedConversionTest},
    {"PreferencesWindowTest", RunPreferencesWindowTest},
    {"TextFilesWindowTest", RunTextFilesWindowTest},
    {"StartUpTest", RunStartUpTest},
    {"StudyWindowTest", RunStudyWindowTest},
};

}  // namespace

int main(int argc, char** argv) {
    // The start-up test's child builds the program's own application object.
    if (argc > 1 && std::strcmp(argv[1], "RunMoratutor") == 0) return RunMoratutorInChild(argc - 1, argv + 1);
    if (argc > 1 && std::strcmp(argv[1], "AboutVersion") == 0) return ShowAboutVersionInChild(argc - 1, argv + 1);
    // The program's own application object: its title, and the error box for escaped errors.
    moratutor::ui::Application app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);

    if (argc > 1 && argv[1][0] != '-') {
        for (const TestClass& testClass : kClasses) {
            if (std::strcmp(argv[1], testClass.name) != 0) continue;
            // Qt Test reads its options from the arguments after the class name.
            std::vector<char*> args{argv[0]};
            args.insert(args.end(), argv + 2, argv + argc);
            return testClass.run(static_cast<int>(args.size()), args.data());
        }
        qWarning("No test class named %s", argv[1]);
        return 1;
    }
    int failures = 0;
    for (const TestClass& testClass : kClasses) failures += testClass.run(argc, argv);
    return failures;
}

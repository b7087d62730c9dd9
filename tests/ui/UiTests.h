// The window test classes, each run by the ui_tests program on its own or all in turn.
#pragma once

int RunAboutWindowTest(int argc, char** argv);
int RunBooksAndOtherFilesWindowTest(int argc, char** argv);
int RunConversionRunTest(int argc, char** argv);
int RunLearnersAidsTest(int argc, char** argv);
int RunLearnersAidsWindowTest(int argc, char** argv);
int RunMainWindowTest(int argc, char** argv);
int RunPaneAccessibilityTest(int argc, char** argv);
int RunPaneDocumentTest(int argc, char** argv);
int RunPaneLayoutTest(int argc, char** argv);
int RunFormattedConversionTest(int argc, char** argv);
int RunPreferencesWindowTest(int argc, char** argv);
int RunTextFilesWindowTest(int argc, char** argv);
int RunStartUpTest(int argc, char** argv);
int RunStudyWindowTest(int argc, char** argv);

// "ui_tests RunMoratutor PREFERENCES ARGUMENTS...": the program's own start-up with the
// arguments, reporting the window it opened on standard output; the start-up test runs it.
int RunMoratutorInChild(int argc, char** argv);

// "ui_tests AboutVersion": once a line comes on standard input, the About window's version
// line on standard output; the About test runs it from a copy it then replaces.
int ShowAboutVersionInChild(int argc, char** argv);

// The window test classes, each run by the ui_tests program on its own or all in turn.
#pragma once

int RunAboutWindowTest(int argc, char** argv);
int RunLearnersAidsTest(int argc, char** argv);
int RunLearnersAidsWindowTest(int argc, char** argv);
int RunMainWindowTest(int argc, char** argv);
int RunPreferencesWindowTest(int argc, char** argv);
int RunTextFilesWindowTest(int argc, char** argv);

// Start-up of the program.
#include <QGuiApplication>

#include "FileSizeSignal.h"
#include "UAbout.h"
#include "UMainApplication.h"

// The window and task-bar icon, set as soon as the application object exists.
static void SetApplicationIcon() { QGuiApplication::setWindowIcon(moratutor::about::ApplicationIcon()); }
Q_COREAPP_STARTUP_FUNCTION(SetApplicationIcon)

int main(int argc, char** argv) {
    moratutor::IgnoreFileSizeSignal();  // before Qt starts its threads
    return moratutor::ui::RunMoratutor(argc, argv);
}

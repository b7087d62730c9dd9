// Start-up of the program.
#include "UMainApplication.h"

int main(int argc, char** argv) { return moratutor::ui::RunMoratutor(argc, argv); }

// The About window.
#pragma once

// Creates the About window, shows it modally and frees it when it closes.
void ShowAbout();

// Placeholder so the tree builds; replaced by the real About window.
#include "UAbout.h"

void ShowAbout() {}

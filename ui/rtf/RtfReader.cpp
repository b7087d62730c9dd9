#include "RtfReader.h"

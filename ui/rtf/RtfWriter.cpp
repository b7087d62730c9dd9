#include "RtfWriter.h"

#include "engine/wavefile.h"

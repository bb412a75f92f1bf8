#include "engine/fftunit.h"

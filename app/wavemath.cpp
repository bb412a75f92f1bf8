#include "app/wavemath.h"

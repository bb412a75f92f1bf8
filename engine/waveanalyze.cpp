#include "engine/waveanalyze.h"

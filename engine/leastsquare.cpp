#include "engine/leastsquare.h"

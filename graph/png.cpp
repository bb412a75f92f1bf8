#include "graph/png.h"

#include "graph/canvas.h"

#include "graph/xygraph.h"

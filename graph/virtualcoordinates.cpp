#include "graph/virtualcoordinates.h"

#include "graph/fonttext.h"

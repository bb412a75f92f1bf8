// zittermark: the desktop application.

#include "gui/entry.h"

int main(int argc, char** argv) {
    return ZittermarkMain(argc, argv);
}

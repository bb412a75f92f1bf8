// zittermark: the desktop application.

#include "app/entry.h"

int main(int argc, char** argv) {
    return ZittermarkMain(argc, argv);
}

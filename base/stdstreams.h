#pragma once
// The standard descriptors of a program started with some of them closed.

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. Call it
// first thing in main: otherwise the next file the program opens gets the
// free number, and whatever the program then prints to its standard output
// or error ends up inside that file.
void OpenMissingStandardDescriptors();

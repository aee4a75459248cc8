#include "editor/startup.h"

int main(int argc, char** argv) { return ZorvanMain(argc, argv); }

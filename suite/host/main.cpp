#include "QuendaStart.h"

int main(int argc, char** argv) { return QuendaRun(argc, argv); }

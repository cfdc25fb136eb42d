#pragma once
// The program's entry: binds the machine's services to the main block and runs it.
#include <functional>

struct TProgramServices;

// `adjust`, when given, sees the bound services before the main block runs (test programs wrap them).
int QuendaRun(int argc, char** argv, const std::function<void(TProgramServices&)>& adjust = {});

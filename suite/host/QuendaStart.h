#pragma once
// The program's entry: binds the machine's services to the main block and runs it.
int QuendaRun(int argc, char** argv);

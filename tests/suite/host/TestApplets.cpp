// A quenda with two applets of its own, for runs of the program's start-up from the tests.
#include "QuendaStart.h"
#include "RegApplet.h"

namespace {

bool CreateFirst(int32_t) { return false; }
bool CreateSecond(int32_t) { return false; }

TAppletRegistrar first("First Test Applet", CreateFirst);
TAppletRegistrar second("Second Test Applet", CreateSecond);

}  // namespace

int main(int argc, char** argv) { return QuendaRun(argc, argv); }

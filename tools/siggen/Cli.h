#pragma once
// The siggen command line, callable in-process: returns the exit status (0 success, 2 bad
// arguments, 1 a file that cannot be read or written).
#include <iosfwd>
#include <string>
#include <vector>

namespace siggen {

// args excludes the program name.
int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace siggen

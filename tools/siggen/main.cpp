// siggen: writes test signals as WAV files.
#include "Cli.h"

#include <iostream>

int main(int argc, char** argv)
{
    return siggen::runCommandLine(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}

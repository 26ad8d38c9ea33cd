#pragma once
// The process's command line as the program was started with it.

#include <string>
#include <vector>

// The arguments after the program name, each as given.
std::vector<std::string> CommandLineArguments();

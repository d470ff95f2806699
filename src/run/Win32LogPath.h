#pragma once
#include <string>

// The folder of the running executable with its trailing separator + "log.txt".
std::string ExecutableLogPath();

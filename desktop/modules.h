#pragma once

#include <string>
#include <vector>

// The program's own modules (quillby-online.so, quillby-print.so): parts that need a library
// the rest of the program does not, opened when first needed so that the library is not mapped
// from start-up on.

// Where a module is sought, in order: beside the executable (build or portable folder), then
// where the installation puts it.
std::vector<std::string> ModulePaths(const std::string& ExecutablePath, const std::string& Module);

// The function Name of the module, from the first place that has it; null when none does.
void* ModuleFunction(const std::string& Module, const char* Name);

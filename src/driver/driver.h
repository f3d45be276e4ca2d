// One conversion from the command line to the exit status.
#pragma once

#include <string>

namespace orvalis {

// Runs the program with the process arguments (argv[0] being the program itself). Returns the
// exit status: 0; 1 in strict mode when the run completed with problems; -1 when the run could
// not start or the walk was cut short. In quiet mode one summary line ends every run.
int RunOrvalis(int argc, const char* const* argv);

// For tests: a function called with the input file's name once the input is in memory, as the
// walk begins (to change the file under the walk, as another program might; what it throws is
// met as the walk's own exceptions are). Null: none.
void SetInputLoadedHook(void (*hook)(const std::string& inputName));

// For tests: a function called with the input file's name as the manifest's walk of the fields
// outside records begins (what it throws is met as that walk's own exceptions are). Null: none.
void SetOutsideWalkHook(void (*hook)(const std::string& inputName));

}  // namespace orvalis

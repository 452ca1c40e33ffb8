// The test program's folder, from the running program's own file name.
#include "program_folder.h"

#include "module_file.h"

std::filesystem::path testProgramFolder() { return std::filesystem::path(ownModulePath()).parent_path(); }

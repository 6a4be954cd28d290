// Host hooks on the running module's identity.
#pragma once

#include <string>

namespace kernel {

// Makes GetModuleFileNameA(NULL) report `path` instead of this executable, so
// that a program run in-process by a test has a program directory of the
// test's choosing; "" restores the real one.
void OverrideModuleFileName(const std::string &path);

// The full host path of the module's file, as long as it is ("" if unknown).
std::string ModuleFileName();

}  // namespace kernel

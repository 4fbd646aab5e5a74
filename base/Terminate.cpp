// The runtime's default terminate handler prints the demangled type of an escaping
// exception, which links some 45 KB of demangler into a program that has no console to
// print to. No exception leaves a function here; if one ever reached terminate, ending
// the process is all that could be done, so this handler stands in for the verbose one.
#include <stdlib.h>

namespace __gnu_cxx {
void __verbose_terminate_handler() { abort(); }
}  // namespace __gnu_cxx

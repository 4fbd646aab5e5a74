// The C++ runtime's failure paths, trimmed for programs that have no console. Linked into
// the executables as an object, so that these definitions are seen before the runtime's.
//
// The runtime's default terminate handler prints the demangled type of an escaping
// exception, which links some 45 KB of demangler into a program that has no console to
// print to. No exception leaves a function here; if one ever reached terminate, ending
// the process is all that could be done, so this handler stands in for the verbose one,
// and ends it without a box.
//
// The string and vector code reports a length beyond its maximum, a bad position or a
// failed allocation through the helpers below. The runtime's own helpers build
// std::length_error and its kin, which link a second, reference-counted string class:
// some 50 KB with its unwind tables. These throw too, so the catch-all in
// MsgDisplayString still takes its fallback, and anywhere else the process still ends in
// terminate; only the exception's type and text differ, and nothing reads them. Should
// the runtime ever need a helper that is missing here, its own copy comes in with the
// ones defined here and the link fails on the duplicates.
#include <windows.h>

#include <new>
#include <string>

namespace {
struct LibraryError {};
}  // namespace

namespace __gnu_cxx {
// Not abort(): in a program without a console the runtime's abort shows a modal
// "Runtime Error" box first, and where nobody watches (a service, a startup script)
// that box waits for ever. Ending the process at once is all that is left to do.
void __verbose_terminate_handler() { TerminateProcess(GetCurrentProcess(), 3); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_logic_error(const char*) { throw LibraryError(); }
void __throw_length_error(const char*) { throw LibraryError(); }
void __throw_out_of_range_fmt(const char*, ...) { throw LibraryError(); }
}  // namespace std

// Safe loading of system libraries.
//
// An installer usually runs elevated from a downloads folder, where anyone
// may have left a DLL named like a system library. The executable therefore
// imports at link time only libraries that Windows maps from its KnownDLLs
// list, and binds every other library at run time from the system folder
// alone.
#pragma once

#include <windows.h>

namespace hs::platform::win32 {

// Restricts the search of every later LoadLibrary in this process (also the
// ones system libraries make) to the system folder, and drops the current
// folder from the search. Called first thing at process start.
void restrict_library_search();

// Loads a library ("msimg32.dll") from the system folder only; NULL when it
// is not there. Never looks beside the executable or in the current folder.
HMODULE load_system_library(const wchar_t* name);

// The address of `function` in the system library `library`, or NULL when
// the library or the function is missing. Libraries stay loaded for the
// life of the process.
FARPROC system_function(const wchar_t* library, const char* function);

// The same, typed: `auto f = bind_system<decltype(&::GradientFill)>(...)`.
template <typename Fn>
Fn bind_system(const wchar_t* library, const char* function) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(system_function(library, function)));
}

}  // namespace hs::platform::win32

#pragma once
// A shared library that only some commands need, opened on first use rather than mapped at every
// start of every program: by its file name, kept to the end of the process (RTLD_NODELETE: the
// threads and global state it starts may outlive every object of ours), and its functions taken
// by name into pointers of their own declared types.

#include <dlfcn.h>

#include <string>

namespace sondesk {

// The library's handle; nullptr with `error` = "<what> cannot be loaded: <reason>".
inline void* OpenLateLibrary(const char* file, const std::string& what, std::string& error) {
  void* handle = ::dlopen(file, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    error = what + " cannot be loaded" + (why != nullptr ? std::string(": ") + why : std::string());
  }
  return handle;
}

// Takes the function `name` into `fn`. When it is missing, `error` names it (the first one missing,
// if several are).
template <class Fn>
bool TakeLateFunction(void* handle, const char* name, Fn& fn, const std::string& what, std::string& error) {
  fn = reinterpret_cast<Fn>(::dlsym(handle, name));
  if (fn == nullptr && error.empty()) error = what + " lacks the function " + name;
  return fn != nullptr;
}

}  // namespace sondesk

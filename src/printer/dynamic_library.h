// DynamicLibrary: one loaded shared object (dlopen/dlsym/dlclose). It is loaded by
// an explicit path only, never through the system's library search path, and
// released when the last shared handle to it goes, so a worker still inside one of
// its functions keeps it mapped.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace tavex {

class DynamicLibrary {
 public:
  // Loads `path`. A bare name ("lib.so") is taken as "./lib.so" in the current
  // directory. Nothing (and the loader's reason in *error) when the file is missing
  // or is not a loadable shared object.
  static std::shared_ptr<DynamicLibrary> load(const std::filesystem::path& path, std::string* error = nullptr);

  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // The address of the exported symbol `name`, or nullptr when it is not exported.
  void* symbol(const char* name) const;

 private:
  explicit DynamicLibrary(void* handle) : handle_(handle) {}
  void* handle_;
};

}  // namespace tavex

#include "printer/dynamic_library.h"

#include <dlfcn.h>

namespace tavex {

std::shared_ptr<DynamicLibrary> DynamicLibrary::load(const std::filesystem::path& path, std::string* error) {
  // dlopen searches the system's paths for a name without "/"; an explicit "./" stops that.
  std::string explicitPath = path.string();
  if (explicitPath.find('/') == std::string::npos) explicitPath = "./" + explicitPath;
  void* handle = ::dlopen(explicitPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    if (error != nullptr) {
      const char* why = ::dlerror();
      *error = why != nullptr ? why : "dlopen failed";
    }
    return nullptr;
  }
  return std::shared_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::~DynamicLibrary() { ::dlclose(handle_); }

void* DynamicLibrary::symbol(const char* name) const {
  ::dlerror();
  return ::dlsym(handle_, name);
}

}  // namespace tavex

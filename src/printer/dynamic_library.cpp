#include "printer/dynamic_library.h"

#include "platform/platform.h"

namespace tavex {

std::shared_ptr<DynamicLibrary> DynamicLibrary::load(const std::filesystem::path& path, std::string* error) {
  void* handle = platform::loadLibrary(path.string(), error);
  if (handle == nullptr) return nullptr;
  return std::shared_ptr<DynamicLibrary>(new DynamicLibrary(handle));
}

DynamicLibrary::~DynamicLibrary() { platform::unloadLibrary(handle_); }

void* DynamicLibrary::symbol(const char* name) const {
  return platform::librarySymbol(handle_, name);
}

}  // namespace tavex

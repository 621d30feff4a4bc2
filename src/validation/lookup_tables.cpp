#include "validation/lookup_tables.h"

namespace tavex {

std::size_t NumberList::findOrAdd(std::int64_t value) {
  if (value == 0) return values_.size();
  auto [it, added] = index_.emplace(value, values_.size());
  if (added) values_.push_back(value);
  return it->second;
}

}  // namespace tavex

#include "validation/lookup_tables.h"

#include <cstdint>
#include <stdexcept>

namespace tavex {

std::size_t NumberList::slotOf(std::int64_t value) const {
  // Numbers below 2^20 (every COO and CRO: six digits) keep their own order in the
  // table, so that the runs the documents come in stay in neighbouring slots; the
  // bits above are spread by Fibonacci hashing. Below 2^20, numbers that all share
  // a slot cannot be more than about 700 once the table holds twice their count.
  const auto v = static_cast<std::uint64_t>(value);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = static_cast<std::size_t>(v + (v >> 20) * 0x9E3779B97F4A7C15u) & mask;
  while (slots_[i] != 0 && values_[slots_[i] - 1] != value) i = (i + 1) & mask;
  return i;
}

void NumberList::grow() {
  slots_.assign(slots_.size() * 2, 0);
  for (std::size_t k = 0; k < values_.size(); ++k) slots_[slotOf(values_[k])] = static_cast<std::uint32_t>(k + 1);
}

std::size_t NumberList::findOrAdd(std::int64_t value) {
  if (value == 0) return values_.size();
  std::uint32_t& slot = slots_[slotOf(value)];
  if (slot != 0) return slot - 1;
  if (values_.size() >= UINT32_MAX - 1) throw std::length_error("NumberList");
  values_.push_back(value);
  slot = static_cast<std::uint32_t>(values_.size());
  if (values_.size() * 2 > slots_.size()) grow();
  return values_.size() - 1;
}

}  // namespace tavex

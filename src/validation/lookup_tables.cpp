#include "validation/lookup_tables.h"

namespace tavex {

std::size_t NumberList::slotOf(std::int64_t value) const {
  // Numbers below 2^20 (every COO and CRO: six digits) keep their own order in the
  // table, so that the runs the documents come in stay in neighbouring slots; the
  // bits above are spread by Fibonacci hashing. Below 2^20, numbers that all share
  // a slot cannot be more than about 700 once the table holds twice their count.
  const auto v = static_cast<std::uint64_t>(value);
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = static_cast<std::size_t>(v + (v >> 20) * 0x9E3779B97F4A7C15u) & mask;
  while (slots_[i].value != 0 && slots_[i].value != value) i = (i + 1) & mask;
  return i;
}

void NumberList::grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  for (const Slot& slot : old)
    if (slot.value != 0) slots_[slotOf(slot.value)] = slot;
}

std::size_t NumberList::findOrAdd(std::int64_t value) {
  if (value == 0) return values_.size();
  Slot& slot = slots_[slotOf(value)];
  if (slot.value != 0) return slot.index;
  slot.value = value;
  slot.index = values_.size();
  values_.push_back(value);
  if (values_.size() * 2 > slots_.size()) grow();
  return values_.size() - 1;
}

}  // namespace tavex

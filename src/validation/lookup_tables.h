// The lookup tables of a validation run. They keep the observable rules of the
// fixed tables they replace (order of first appearance, a value 0 is never stored
// in a number list, names compared on their full sliced width) without their
// capacity limits or their linear searches.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tavex {

// A list of integers in order of first appearance. 0 is the list's end marker and
// is never stored: looking it up answers the list's length.
class NumberList {
 public:
  // Index of `value`; appended when absent. For 0: the current length, nothing stored.
  std::size_t findOrAdd(std::int64_t value);
  bool contains(std::int64_t value) const { return value != 0 && slots_[slotOf(value)] != 0; }
  // Index of `value`, or size() when it is absent (and for 0).
  std::size_t indexOf(std::int64_t value) const {
    return value == 0 || slots_[slotOf(value)] == 0 ? values_.size() : slots_[slotOf(value)] - 1;
  }
  std::size_t size() const { return values_.size(); }
  const std::vector<std::int64_t>& values() const { return values_; }

 private:
  // An open-addressing index over the values: a slot holds a value's index plus 1,
  // or 0 when free.
  // The slot holding `value`, or the free slot where it would go. REQUIRES: value != 0.
  std::size_t slotOf(std::int64_t value) const;
  void grow();

  static constexpr std::size_t kInitialSlots = 64;
  std::vector<std::int64_t> values_;
  std::vector<std::uint32_t> slots_ = std::vector<std::uint32_t>(kInitialSlots);  // a power of two, at most half full
};

// Entries by index, kept in blocks that never move: growing copies nothing and a
// reference to an entry stays good. New entries are value-initialised.
template <class T>
class StableTable {
 public:
  // Entry `i`, the table grown to hold it.
  T& at(std::size_t i) {
    while ((i >> kShift) >= blocks_.size()) blocks_.push_back(std::make_unique<T[]>(kBlock));
    return blocks_[i >> kShift][i & (kBlock - 1)];
  }
  // Entry `i`, or nullptr when the table has not grown to it.
  const T* find(std::size_t i) const {
    return (i >> kShift) < blocks_.size() ? &blocks_[i >> kShift][i & (kBlock - 1)] : nullptr;
  }

 private:
  static constexpr std::size_t kShift = 12, kBlock = std::size_t{1} << kShift;
  std::vector<std::unique_ptr<T[]>> blocks_;
};

// Entries keyed by a name, in order of first appearance. Small tables are searched
// directly; a hash index is built once a table grows past a handful of names.
template <class Value>
class NamedTable {
 public:
  struct Entry {
    std::string name;
    Value value{};
  };

  // Index of `name`; appended (with a default value) when absent.
  std::size_t findOrAdd(std::string_view name) {
    if (!index_) {
      for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].name == name) return i;
    } else if (auto it = index_->find(name); it != index_->end()) {
      return it->second;
    }
    entries_.push_back(Entry{std::string(name), Value{}});
    const std::size_t i = entries_.size() - 1;
    if (index_) {
      index_->emplace(entries_[i].name, i);
    } else if (entries_.size() > kDirectSearchLimit) {
      index_ = std::make_unique<Index>();
      for (std::size_t k = 0; k < entries_.size(); ++k) index_->emplace(entries_[k].name, k);
    }
    return i;
  }

  Entry& operator[](std::size_t i) { return entries_[i]; }
  const Entry& operator[](std::size_t i) const { return entries_[i]; }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  auto begin() { return entries_.begin(); }
  auto end() { return entries_.end(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }
  void clear() {
    entries_.clear();
    index_.reset();
  }

 private:
  // Looks names up by string_view without making a string of them.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
  };
  using Index = std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>>;
  static constexpr std::size_t kDirectSearchLimit = 16;
  std::vector<Entry> entries_;
  std::unique_ptr<Index> index_;  // made only for a table past kDirectSearchLimit names
};

}  // namespace tavex

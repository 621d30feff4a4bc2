// A reader of the full run's records besides the checks: it sees every record
// line as the line checks take it, after its length and field formats were
// examined and before its content checks, and is told whether they all passed.
// It reads the run's tables (CheckState) as they stand before that record's own
// content checks. It never reports findings: the log stays what it is without it.
#pragma once

#include <vector>

namespace tavex {

struct RecordLine;
struct CheckState;

class RecordObserver {
 public:
  virtual ~RecordObserver() = default;
  // `rec` of a known type in the full run. `fieldsPassed`: its length is the
  // layout's and every typed field passed its format check.
  virtual void onRecord(const RecordLine& rec, bool fieldsPassed, const CheckState& state) = 0;
  // The line checks start again from the first line, the run's tables cleared.
  virtual void onRestart() = 0;
};

// Shows every record to several observers, in the order they were added (each
// kept alive by the caller).
class RecordObservers : public RecordObserver {
 public:
  void add(RecordObserver& observer) { observers_.push_back(&observer); }
  bool empty() const { return observers_.empty(); }
  void onRecord(const RecordLine& rec, bool fieldsPassed, const CheckState& state) override {
    for (RecordObserver* o : observers_) o->onRecord(rec, fieldsPassed, state);
  }
  void onRestart() override {
    for (RecordObserver* o : observers_) o->onRestart();
  }

 private:
  std::vector<RecordObserver*> observers_;
};

}  // namespace tavex

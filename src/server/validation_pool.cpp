#include "server/validation_pool.h"

#include <chrono>

#include "cotepe/text.h"

namespace tavex::server {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTasksRemembered = 256;

// What the validation says when it cannot run, kept for the page (UTF-8).
class KeptMessages : public Notifier {
 public:
  void showMessage(std::string_view text, std::string_view title, Icon) override {
    if (!text_.empty()) text_ += "\n";
    text_ += cp1252ToUtf8(title) + ": " + cp1252ToUtf8(text);
  }
  std::string text_;
};

std::size_t measure(const FileResults& r) {
  const auto& run = r.run;
  std::size_t n = sizeof(r) + run.findings.capacity() * sizeof(Finding) + static_cast<std::size_t>(r.index.lines()) / 32;
  for (const Finding& f : run.findings) n += f.message.capacity();
  for (const Indicator& i : run.indicators) n += sizeof(i) + i.sentence.capacity() + i.expected.size() + i.found.size();
  if (run.reconciliation)
    for (const ReductionReconciliation& z : run.reconciliation->reductions)
      n += sizeof(z) + z.totals.capacity() * sizeof(ReconciledTotal);
  return n;
}

}  // namespace

ValidationPool::ValidationPool(unsigned workers, std::size_t keptResults, std::size_t maxQueued, std::size_t keptBytes)
    : keptResults_(std::max<std::size_t>(1, keptResults)), maxQueued_(maxQueued), keptBytes_(keptBytes) {
  for (unsigned i = 0; i < std::max(1u, workers); ++i) workers_.emplace_back([this] { work(); });
}

ValidationPool::~ValidationPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (auto& [id, task] : tasks_) task->cancelled = true;
  }
  wake_.notify_all();
  for (std::thread& t : workers_) t.join();
}

std::optional<std::uint64_t> ValidationPool::submit(const std::string& name, const std::string& path,
                                                    std::int64_t toleranceCents, bool formatOnly) {
  std::lock_guard lock(mutex_);
  for (const auto& [id, task] : tasks_)
    if (task->path == path && task->tolerance == toleranceCents && task->formatOnly == formatOnly &&
        !task->cancelled && (task->state == TaskState::Queued || task->state == TaskState::Running))
      return id;
  if (stopping_ || queue_.size() >= maxQueued_) return std::nullopt;
  auto task = std::make_shared<Task>();
  task->id = nextId_++;
  task->name = name;
  task->path = path;
  task->tolerance = toleranceCents;
  task->formatOnly = formatOnly;
  std::error_code ec;
  task->size = std::max<std::uint64_t>(1, fs::file_size(path, ec));
  tasks_[task->id] = task;
  queue_.push_back(task);
  forgetOldTasks();
  wake_.notify_one();
  return task->id;
}

void ValidationPool::forgetOldTasks() {
  for (auto it = tasks_.begin(); tasks_.size() > kTasksRemembered && it != tasks_.end();) {
    const TaskState s = it->second->state;
    it = (s == TaskState::Queued || s == TaskState::Running) ? std::next(it) : tasks_.erase(it);
  }
}

std::optional<TaskView> ValidationPool::task(std::uint64_t id) const {
  std::lock_guard lock(mutex_);
  const auto it = tasks_.find(id);
  if (it == tasks_.end()) return std::nullopt;
  const Task& t = *it->second;
  TaskView view;
  view.state = t.cancelled && t.state != TaskState::Done ? TaskState::Cancelled : t.state;
  view.name = t.name;
  view.problem = t.problem;
  view.progress = t.state == TaskState::Done ? 1.0 : std::min(1.0, static_cast<double>(t.read) / static_cast<double>(t.size));
  return view;
}

bool ValidationPool::cancel(std::uint64_t id) {
  std::lock_guard lock(mutex_);
  const auto it = tasks_.find(id);
  if (it == tasks_.end() || it->second->cancelled) return false;
  Task& t = *it->second;
  if (t.state != TaskState::Queued && t.state != TaskState::Running) return false;
  t.cancelled = true;
  if (t.state == TaskState::Queued) {
    t.state = TaskState::Cancelled;
    std::erase(queue_, it->second);
  }
  return true;
}

std::shared_ptr<const FileResults> ValidationPool::results(const std::string& name) const {
  std::shared_ptr<const FileResults> found;
  {
    std::lock_guard lock(mutex_);
    for (const auto& r : kept_)
      if (r->name == name) {
        found = r;
        break;
      }
  }
  if (!found) return nullptr;
  std::error_code ec;
  const auto size = fs::file_size(found->path, ec);
  if (ec || size != found->size || fs::last_write_time(found->path, ec) != found->changed || ec) return nullptr;
  return found;
}

void ValidationPool::work() {
  for (;;) {
    std::shared_ptr<Task> task;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      task = queue_.front();
      queue_.pop_front();
      task->state = TaskState::Running;
    }
    run(task);
  }
}

void ValidationPool::run(const std::shared_ptr<Task>& task) {
  auto results = std::make_shared<FileResults>();
  results->name = task->name;
  results->path = task->path;
  results->formatOnly = task->formatOnly;
  std::error_code ec;
  results->size = fs::file_size(task->path, ec);
  results->changed = fs::last_write_time(task->path, ec);
  ValidationOptions options;
  options.readTap = [&](std::string_view raw) {
    results->index.add(raw);
    task->read += raw.size();
  };
  KeptMessages messages;
  const auto started = std::chrono::steady_clock::now();
  results->run = MainDialog::validateNow(messages, task->path, task->tolerance, task->formatOnly, options);
  results->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  results->messages = std::move(messages.text_);
  // A run that stopped early (or a format-only one) saw only part of the file: the
  // record pages need every line.
  if (!results->run.summary.endsInEad.has_value() || results->index.lines() == 0)
    if (std::optional<LineIndex> whole = indexOfFile(task->path)) results->index = std::move(*whole);

  results->bytes = measure(*results);

  std::lock_guard lock(mutex_);
  if (task->cancelled) {
    task->state = TaskState::Cancelled;
    return;
  }
  if (!results->run.ran && !results->messages.empty()) {
    task->state = TaskState::Failed;
    task->problem = results->messages;
    return;
  }
  task->state = TaskState::Done;
  std::erase_if(kept_, [&](const auto& r) { return r->name == results->name; });
  std::size_t total = results->bytes;
  kept_.push_front(std::move(results));
  auto it = std::next(kept_.begin());
  std::size_t count = 1;
  while (it != kept_.end() && count < keptResults_ && total + (*it)->bytes <= keptBytes_) {
    total += (*it)->bytes;
    ++it;
    ++count;
  }
  kept_.erase(it, kept_.end());
}

}  // namespace tavex::server

#include "export/file_split.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <vector>

#include "cotepe/file_access.h"
#include "cotepe/file_kind.h"
#include "cotepe/record_layout.h"
#include "cotepe/text.h"
#include "export/gathered_write.h"
#include "export/line_file.h"

namespace tavex {

namespace {

constexpr std::size_t kPathLimit = 1024;
constexpr std::size_t kBlockSize = 16u << 20;   // input read before the outputs are written (more for a longer line)
constexpr std::size_t kReadSize = 1u << 18;     // one read: its lines are examined while they are in the cache
constexpr std::size_t kSideBudget = 4u << 20;   // rewritten lines gathered before the outputs are written
constexpr const char* kTempTemplate = "ctp_file_XXXXXX.tmp";
constexpr int kTempSuffixLength = 4;  // ".tmp"
const std::string kBlankDate(8, ' ');

bool validReduction(std::int64_t z) { return z >= kFirstReduction && z <= kLastReduction; }

// A field at its whole width: a short line's missing characters are blanks.
template <class Id>
std::string paddedField(std::string_view line, Id id) {
  std::string value(fieldOf(line, id));
  value.resize(static_cast<std::size_t>(fieldLayout(id).width), ' ');
  return value;
}

template <class Id>
std::int64_t fieldInt(std::string_view line, Id id) { return leadingInt(fieldOf(line, id)); }

// The COO ranges of the reductions and the lookup of the reduction a COO belongs
// to: the first Z with first <= COO < last. An index over the possible COOs
// (0 .. 1,000,000, up to the largest end seen) answers in constant time; it is
// painted reduction by reduction
// in increasing Z, each cell once, and rebuilt only when a range changes out of
// that order (a repeated or lower CRZ).
class ReductionRanges {
 public:
  struct Range {
    std::int64_t first = 0;
    std::int64_t last = 0;
  };

  ReductionRanges() : ranges_(kLastReduction + 1) {}

  const Range& operator[](int z) const { return ranges_[static_cast<std::size_t>(z)]; }

  // Reduction z ends at COO `last`; it starts one after the end of z - 1 (1 when
  // that one is empty).
  void close(int z, std::int64_t last) {
    Range& r = ranges_[static_cast<std::size_t>(z)];
    const bool wasSet = r.first != 0 || r.last != 0;
    r.first = ranges_[static_cast<std::size_t>(z - 1)].last + 1;
    r.last = last;
    maxLast_ = std::max(maxLast_, last);
    if (wasSet || z <= paintedUpTo_ || last > cells_) {
      dirty_ = true;
    } else if (!dirty_ && !owner_.empty()) {
      paint(z);
      paintedUpTo_ = z;
    } else {
      paintedUpTo_ = z;  // painted by the next rebuild
      dirty_ = true;
    }
  }

  // The reduction of `coo`, or 0 for none.
  int reductionOf(std::int64_t coo) {
    if (coo < 0 || coo >= kCells) {
      for (int z = kFirstReduction; z <= kLastReduction; ++z)
        if ((*this)[z].first <= coo && coo < (*this)[z].last) return z;
      return 0;
    }
    if (dirty_ || owner_.empty()) rebuild();
    if (coo >= cells_) return 0;  // at or past every range's end
    return owner_[static_cast<std::size_t>(coo)];
  }

 private:
  static constexpr std::int64_t kCells = 1000001;
  static constexpr std::int64_t kMinCells = 4096;

  void rebuild() {
    // Cells up to the largest end, doubled as ends grow (the rebuilds stay few).
    cells_ = std::clamp<std::int64_t>(std::max(maxLast_, 2 * cells_), kMinCells, kCells);
    owner_.assign(static_cast<std::size_t>(cells_), 0);
    next_.resize(static_cast<std::size_t>(cells_) + 1);
    for (std::size_t i = 0; i < next_.size(); ++i) next_[i] = static_cast<std::int32_t>(i);
    paintedUpTo_ = 0;
    for (int z = kFirstReduction; z <= kLastReduction; ++z) {
      paint(z);
      if ((*this)[z].first != 0 || (*this)[z].last != 0) paintedUpTo_ = z;
    }
    dirty_ = false;
  }

  // The first unpainted cell at or after c.
  std::int32_t unpainted(std::int32_t c) {
    while (next_[static_cast<std::size_t>(c)] != c) {
      auto& n = next_[static_cast<std::size_t>(c)];
      n = next_[static_cast<std::size_t>(n)];
      c = n;
    }
    return c;
  }

  // Gives reduction z the cells of its range that no lower reduction holds.
  void paint(int z) {
    const Range& r = (*this)[z];
    const auto from = static_cast<std::int32_t>(std::clamp<std::int64_t>(r.first, 0, cells_));
    const auto to = static_cast<std::int32_t>(std::clamp<std::int64_t>(r.last, 0, cells_));
    for (std::int32_t c = unpainted(from); c < to; c = unpainted(c + 1)) {
      owner_[static_cast<std::size_t>(c)] = z;
      next_[static_cast<std::size_t>(c)] = c + 1;
    }
  }

  std::vector<Range> ranges_;
  std::vector<std::int32_t> owner_;  // reduction of each COO, 0 for none
  std::vector<std::int32_t> next_;   // union-find over painted cells
  std::int64_t cells_ = 0;           // COOs 0 .. cells_ - 1 are indexed
  std::int64_t maxLast_ = 0;         // the largest end of any range
  int paintedUpTo_ = 0;
  bool dirty_ = false;
};

// The first record in file order whose COO lies in [lo, hi]: the COOs of the
// candidate records sorted, with a sparse table of the minimum file position.
class FirstInCooRange {
 public:
  void add(std::int64_t coo, std::size_t order, std::string date) {
    entries_.push_back({coo, order, std::move(date)});
  }

  void build() {
    std::sort(entries_.begin(), entries_.end(),
              [](const Entry& a, const Entry& b) { return a.coo != b.coo ? a.coo < b.coo : a.order < b.order; });
    const std::size_t n = entries_.size();
    table_.clear();
    if (n == 0) return;
    table_.emplace_back(n);
    for (std::size_t i = 0; i < n; ++i) table_[0][i] = i;
    for (std::size_t k = 1; (std::size_t{1} << k) <= n; ++k) {
      const std::size_t half = std::size_t{1} << (k - 1);
      std::vector<std::size_t> level(n - (std::size_t{1} << k) + 1);
      for (std::size_t i = 0; i < level.size(); ++i) level[i] = better(table_[k - 1][i], table_[k - 1][i + half]);
      table_.push_back(std::move(level));
    }
  }

  // The date of the first record (in file order) with lo <= COO <= hi, if any.
  const std::string* first(std::int64_t lo, std::int64_t hi) const {
    const auto begin = std::lower_bound(entries_.begin(), entries_.end(), lo,
                                        [](const Entry& e, std::int64_t v) { return e.coo < v; });
    const auto end = std::upper_bound(entries_.begin(), entries_.end(), hi,
                                      [](std::int64_t v, const Entry& e) { return v < e.coo; });
    if (begin >= end) return nullptr;
    const auto l = static_cast<std::size_t>(begin - entries_.begin());
    const auto r = static_cast<std::size_t>(end - entries_.begin());  // exclusive
    std::size_t k = 0;
    while ((std::size_t{1} << (k + 1)) <= r - l) ++k;
    return &entries_[better(table_[k][l], table_[k][r - (std::size_t{1} << k)])].date;
  }

 private:
  struct Entry {
    std::int64_t coo;
    std::size_t order;
    std::string date;
  };
  std::size_t better(std::size_t a, std::size_t b) const { return entries_[a].order <= entries_[b].order ? a : b; }

  std::vector<Entry> entries_;
  std::vector<std::vector<std::size_t>> table_;
};

class Splitter {
 public:
  Splitter(const std::string& inputPath, WorkerControl& control)
      : inputPath_(inputPath), control_(control), reductions_(kLastReduction + 1) {}

  ~Splitter() {
    removeTemp();
    closeInput();
  }

  int run() {
    if (inputPath_.size() >= kPathLimit) return kSplitPathTooLong;
    const std::size_t slash = inputPath_.rfind('/');
    directory_ = slash == std::string::npos ? "" : inputPath_.substr(0, slash + 1);
    if (folderLock_.lockFolder(directory_) == FileLock::Result::Busy) return kSplitFolderBusy;
    if (const int status = openInput(); status >= 0) return status;
    if (!createTemp()) return failureStatus();
    const int status = splitLines();
    return finish(status);
  }

  // The cause of a failed write (cp1252 line), empty when none failed.
  std::string reason() const { return reasonLine(systemError_); }

 private:
  struct Reduction {
    bool hasOutput = false;  // its output was created in this split
    bool onDisk = false;     // the output file exists (later writes append)
    bool created = false;    // the file did not exist before this split
    std::string date;        // eight characters, or empty for none
    GatheredText::Chain pending;  // its lines not yet written
    std::uint64_t written = 0;    // bytes its output holds
  };

  // Where a gathered run's text is: an index into the sources of writeOutputs.
  enum Source : std::uint8_t {
    kBlock,   // lines as they were read
    kSide,    // lines rewritten (their line end), and the outputs' E01
    kHeader,  // the header records every output starts with
  };

  // A temporary file of its own beside the input, created exclusively.
  bool createTemp() {
    std::string name = directory_ + kTempTemplate;
    const int fd = platform::createTempFile(name, kTempSuffixLength);
    if (fd < 0) {
      systemError_ = errno;
      return false;
    }
    tempPath_ = std::move(name);
    temp_.adopt(fd);
    tempOpen_ = true;
    return true;
  }

  void removeTemp() {
    if (tempPath_.empty()) return;
    if (tempOpen_) {
      tempOpen_ = false;
      temp_.close();
    }
    ::unlink(tempPath_.c_str());
    tempPath_.clear();
  }

  // The input is read into block_ and its lines are left there: lines of one
  // reduction that follow one another make one piece, written from the block.
  // The outputs are written when the block is full, and at the end.
  int splitLines() {
    block_ = allocateBlock(kBlockSize);
    blockSize_ = kBlockSize;
    std::size_t searched = 0;  // no LF before this offset in the line being read
    for (;;) {
      const char* const data = block_.get();
      const void* lf = std::memchr(data + searched, '\n', filled_ - searched);
      std::size_t stop;
      if (lf != nullptr) {
        stop = static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
      } else {
        const std::size_t pending = filled_ - scanned_;
        const int status = readMore();
        if (status > 0) return status;
        if (status == 0) {
          searched = scanned_ + pending;
          continue;
        }
        if (scanned_ == filled_) break;
        stop = filled_;  // the last line, without LF
      }
      const std::size_t at = scanned_;
      scanned_ = searched = stop;
      if (const std::optional<int> status = splitLine(at, stop - at)) return *status;
      if (lf == nullptr) break;
    }
    if (readFailed_ || prescanFailed_) return kSplitReadFailed;
    return kSplitDone;
  }

  // One raw line of the block: a status when the split ends there.
  std::optional<int> splitLine(std::size_t at, std::size_t size) {
    consumed_ += size;
    if (consumed_ >= nextProgressAt_ && inputSize_ > 0) {
      const int percent = static_cast<int>(consumed_ * 100 / inputSize_);
      if (percent != lastProgress_) {
        lastProgress_ = percent;
        control_.setProgress(percent);
      }
      // The first byte count that makes the next percent.
      nextProgressAt_ = ((static_cast<std::uint64_t>(percent) + 1) * inputSize_ + 99) / 100;
    }
    if (control_.cancelRequested()) return kConversionCancelled;
    raw_ = std::string_view(block_.get() + at, size);
    rawAt_ = at;
    const std::string_view line = stripLineEnd(raw_);
    if (line.empty()) return std::nullopt;
    const int status = splitRecord(line);
    if (status >= 0) return status;
    if (side_.size() > kSideBudget && !writeOutputs()) return failureStatus();
    if (failed_) {
      if (systemError_ == 0) systemError_ = temp_.systemError();
      return failureStatus();
    }
    return std::nullopt;
  }

  // Opens the input (a regular file), reporting progress from here on: a status
  // when it cannot be, -1 otherwise.
  int openInput() {
    const InputFile in = openInputFile(inputPath_);
    if (in.fd < 0) return in.notRegular ? kSplitInputNotRegular : kSplitInputMissing;
    inputFd_ = in.fd;
    inputSize_ = in.size;
    control_.setProgress(0);
    return -1;
  }

  void closeInput() {
    if (inputFd_ >= 0) ::close(inputFd_);
    inputFd_ = -1;
  }

  // More input after the line being read (from scanned_ on): 0 when some came,
  // -1 at the end of the file (or a failed read: readFailed_), or a status. Makes
  // room first: the outputs are written and the line moved to the front, or the
  // block grows for a line longer than itself.
  int readMore() {
    if (inputFd_ < 0) return -1;
    if (filled_ == blockSize_) {
      if (!gathered_.empty() && !writeOutputs()) return failureStatus();
      if (scanned_ > 0) {
        std::memmove(block_.get(), block_.get() + scanned_, filled_ - scanned_);
        filled_ -= scanned_;
        scanned_ = 0;
      } else {
        BlockMemory bigger = allocateBlock(2 * blockSize_);
        std::memcpy(bigger.get(), block_.get(), filled_);
        block_ = std::move(bigger);
        blockSize_ *= 2;
      }
    }
    for (;;) {
      const ssize_t n = ::read(inputFd_, block_.get() + filled_, std::min(kReadSize, blockSize_ - filled_));
      if (n > 0) {
        filled_ += static_cast<std::size_t>(n);
        return 0;
      }
      if (n < 0 && errno == EINTR) continue;
      readFailed_ = n < 0;
      closeInput();
      return -1;
    }
  }

  // A status when the split ends at this record, -1 to go on.
  int splitRecord(std::string_view line) {
    const int type = recordTypeOf(line);
    switch (type) {
      case 1: {
        // The reduction's numbers and dates replace CRZ_INI .. DATA_FIM in each output.
        const auto replacedFrom = static_cast<std::size_t>(fieldLayout(E01::CrzInicial).start - 1);
        const auto keptFrom = static_cast<std::size_t>(fieldLayout(E01::VersaoDll).start - 1);
        headHead_ = std::string(line.substr(0, std::min(line.size(), replacedFrom)));
        headTail_ = line.size() > keptFrom ? std::string(line.substr(keptFrom)) : std::string();
        const FileKindRules& kind = fileKindRules(fileKindOf(fieldOf(line, E01::ComandoGeracao)));
        if (!kind.splittable) {
          control_.notify({"O arquivo selecionado é um Ato/COTEPE 17/04 da MF. Não é possível separar este tipo de "
                           "arquivo."_cp,
                           "Erro!", Icon::Error});
          return kSplitRefusedMf;
        }
        if (kind.reductionsFromDocuments && !prescanned_) {
          prescanned_ = true;
          mfd_ = true;
          prescan();
          if (prescanFailed_) return kSplitReadFailed;
        }
        return -1;
      }
      case 2:
        appendToTemp(line);
        if (mfd_ && !mfdOutputsCreated_) {
          mfdOutputsCreated_ = true;
          closeTemp();
          for (int z = kFirstReduction; z <= kLastReduction; ++z)
            if (ranges_[z].first != 0) createOutput(z);
        }
        return -1;
      case 3: case 4: case 5: case 6: case 7: case 8: case 9: case 10: case 11:
        appendToTemp(line);
        return -1;
      case 12: {
        closeTemp();
        const std::int64_t z = fieldInt(line, E12::Crz);
        if (!validReduction(z)) return -1;
        const int zi = static_cast<int>(z);
        ranges_.close(zi, fieldInt(line, E12::Coo));
        reductions_[static_cast<std::size_t>(zi)].date = paddedField(line, E12::DataMovimento);
        if (!reductions_[static_cast<std::size_t>(zi)].hasOutput) createOutput(zi);
        write(zi, line);
        return -1;
      }
      case 13: case 17: case 18: {
        const std::int64_t z = type == 13   ? fieldInt(line, E13::Crz)
                               : type == 17 ? fieldInt(line, E17::Crz)
                                            : fieldInt(line, E18::Crz);
        if (validReduction(z) && reductions_[static_cast<std::size_t>(z)].hasOutput) write(static_cast<int>(z), line);
        return -1;
      }
      case 14:
        closeTemp();
        writeToCoo(fieldInt(line, E14::Coo), line);
        return -1;
      case 15:
        writeToCoo(fieldInt(line, E15::Coo), line);
        return -1;
      case 19:
        writeToCoo(fieldInt(line, E19::Coo), line);
        return -1;
      case 20:
        writeToCoo(fieldInt(line, E20::Coo), line);
        return -1;
      case 21:
        writeToCoo(fieldInt(line, E21::Coo), line);
        return -1;
      case 16: {
        const bool rz = fieldOf(line, E16::Denominacao) == "RZ";
        writeToCoo(fieldInt(line, E16::Coo) - (rz ? 1 : 0), line);
        return -1;
      }
      case kEadType:
        return -1;
      default:
        return kSplitUnknownRecord;
    }
  }

  // MFD: every reduction from the E16 "RZ" documents, then each one's date from
  // the first E14 (else the first E16 "LX") whose COO lies in it. One pass.
  void prescan() {
    LineReader reader;
    if (!reader.open(inputPath_)) {
      prescanFailed_ = true;
      return;
    }
    FirstInCooRange receipts;
    FirstInCooRange readings;
    std::string_view raw;
    for (std::size_t order = 0; reader.next(raw); ++order) {
      const std::string_view line = stripLineEnd(raw);
      const int type = recordTypeOf(line);
      if (type == 14) {
        receipts.add(fieldInt(line, E14::Coo), order, paddedField(line, E14::DataInicio));
      } else if (type == 16) {
        const std::string_view denomination = fieldOf(line, E16::Denominacao);
        if (denomination == "RZ") {
          const std::int64_t z = fieldInt(line, E16::Crz);
          if (!validReduction(z)) continue;
          ranges_.close(static_cast<int>(z), fieldInt(line, E16::Coo));
          reductions_[static_cast<std::size_t>(z)].date.clear();
        } else if (denomination == "LX") {
          readings.add(fieldInt(line, E16::Coo), order, paddedField(line, E16::DataFinal));
        }
      }
    }
    if (reader.readFailed()) prescanFailed_ = true;
    receipts.build();
    readings.build();
    for (int z = kFirstReduction; z <= kLastReduction; ++z) {
      const auto& r = ranges_[z];
      if (r.first == 0) continue;
      const std::string* date = receipts.first(r.first, r.last);
      if (date == nullptr) date = readings.first(r.first, r.last);
      reductions_[static_cast<std::size_t>(z)].date = date != nullptr ? *date : std::string();
    }
  }

  void appendToTemp(std::string_view line) {
    if (!tempOpen_) return;  // the header records were already copied into the outputs
    std::string text(line);
    text += "\r\n";
    if (!temp_.writeLine(text)) failed_ = true;
  }

  void closeTemp() {
    if (!tempOpen_) return;
    tempOpen_ = false;
    // A write that failed is fatal; a temporary file removed meanwhile is not (the
    // outputs then go without the header records, with a message).
    if (!temp_.flush()) {
      failed_ = true;
      if (systemError_ == 0) systemError_ = temp_.systemError();
    }
    temp_.close();
  }

  // The rewritten E01 and the header records start the output of reduction z.
  void createOutput(int z) {
    Reduction& r = reductions_[static_cast<std::size_t>(z)];
    r.hasOutput = true;
    const std::string number = cformat("%06d", z);
    const std::string& date = r.date.empty() ? kBlankDate : r.date;
    const std::size_t at = side_.size();
    side_ += headHead_;
    side_ += number;
    side_ += number;
    side_ += date;
    side_ += date;
    side_ += headTail_;
    side_ += "\r\n";
    if (!tempContent_) {
      closeTemp();
      const int fd = tempPath_.empty() ? -1 : platform::openFile(tempPath_, platform::kRead | platform::kNoFollow);
      if (fd >= 0) {
        std::string content;
        std::vector<char> block(1 << 16);
        ssize_t n;
        while ((n = ::read(fd, block.data(), block.size())) > 0) content.append(block.data(), static_cast<std::size_t>(n));
        ::close(fd);
        tempContent_ = std::move(content);
      } else {
        control_.notify({"Erro, nao abriu arquivo temporário."_cp, "Erro!", Icon::Error});
      }
    }
    // A file created earlier in this split under this number is replaced (its
    // unwritten lines stay gathered, unused, until the next write).
    r.onDisk = false;
    r.written = 0;
    r.pending = {};
    gathered_.add(r.pending, kSide, at, side_.size() - at);
    if (tempContent_ && !tempContent_->empty()) gathered_.add(r.pending, kHeader, 0, tempContent_->size());
  }

  // Adds `line`, the record being split, to reduction z's output: from the block
  // when it ends in CR LF there, else rewritten with that line end.
  void write(int z, std::string_view line) {
    Reduction& r = reductions_[static_cast<std::size_t>(z)];
    if (raw_.size() == line.size() + 2 && raw_.ends_with("\r\n")) {
      gathered_.add(r.pending, kBlock, rawAt_, raw_.size());
    } else {
      const std::size_t at = side_.size();
      side_ += line;
      side_ += "\r\n";
      gathered_.add(r.pending, kSide, at, side_.size() - at);
    }
  }


  void writeToCoo(std::int64_t coo, std::string_view line) {
    const int z = ranges_.reductionOf(coo);
    if (z != 0 && reductions_[static_cast<std::size_t>(z)].hasOutput) write(z, line);
  }

  // Writes every gathered line, one file open at a time, each output's pieces
  // straight from the block. The first output that fails or is refused ends the
  // writing for the whole split (finish() takes back what was written).
  bool writeOutputs() {
    if (writeFailed_) {
      gathered_.clear();
      side_.clear();
      return false;
    }
    const auto due = [](const Reduction& r) { return r.hasOutput && (!r.onDisk || !r.pending.empty()); };
    const char* const sources[] = {block_.get(), side_.data(), tempContent_ ? tempContent_->data() : nullptr};
    int lastDue = 0;
    for (int z = kFirstReduction; z <= kLastReduction; ++z)
      if (due(reductions_[static_cast<std::size_t>(z)])) lastDue = z;
    bool ok = true;
    for (int z = kFirstReduction; z <= lastDue; ++z) {
      Reduction& r = reductions_[static_cast<std::size_t>(z)];
      if (!due(r)) continue;
      const std::string path = splitOutputPath(inputPath_, z);
      OutputError error = OutputError::None;
      int systemError = 0;
      bool createdNow = false;
      const int fd = openGatheredOutput(path, !r.onDisk, error, systemError, createdNow);
      r.created = r.created || createdNow;  // a file this split made and now replaces stays its own
      r.onDisk = true;
      if (fd < 0) {
        ok = false;
        systemError_ = systemError;
        const std::string refusal = outputRefusalMessage(error, path);
        if (!refusal.empty()) {
          outputRefused_ = true;
          control_.notify({refusal, "Erro!", Icon::Error});
        }
        break;
      }
      if (!gathered_.write(fd, r.pending, sources, r.written)) {
        ok = false;
        systemError_ = errno;
      }
      // A folder removed during the round makes the next open fail; the last
      // file tells whether it went with its lines after that.
      struct stat st {};
      if (ok && z == lastDue && ::fstat(fd, &st) == 0 && st.st_nlink == 0) {
        ok = false;
        systemError_ = ENOENT;
      }
      ::close(fd);
      if (!ok) break;
    }
    if (!ok) {
      writeFailed_ = true;
      for (Reduction& r : reductions_) r.pending = {};
    }
    // The block keeps its memory: the next round fills the same pages.
    gathered_.clear();
    side_.clear();
    return ok;
  }


  int finish(int status) {
    closeInput();
    removeTemp();
    // A record of an unknown type refuses the whole file: nothing gathered is
    // written and the outputs already written go as after a failed write. After a
    // cancellation what is gathered is written.
    if (status == kSplitUnknownRecord) writeFailed_ = true;
    if (!writeOutputs() && status == kSplitDone) status = failureStatus();
    // A failed or refused write, or a refused file, takes back every output this
    // split created; files that were there before are left.
    if (writeFailed_) {
      for (int z = kFirstReduction; z <= kLastReduction; ++z) {
        Reduction& r = reductions_[static_cast<std::size_t>(z)];
        if (r.onDisk && r.created) ::unlink(splitOutputPath(inputPath_, z).c_str());
        r.onDisk = r.created = false;
      }
    }
    if (status == kSplitDone && !anyOutput()) status = kSplitNoReduction;
    return status;
  }

  // The status of a failed write: refused (notified already), failed for want of
  // room (the disk full, a size limit, a failing device), or the folder's fault
  // (not writable, gone).
  int failureStatus() const {
    if (outputRefused_) return kSplitOutputRefused;
    switch (systemError_) {
      case ENOSPC: case EDQUOT: case EFBIG: case EIO: return kSplitWriteFailed;
      default: return kSplitCannotWrite;
    }
  }

  bool anyOutput() const {
    for (const Reduction& r : reductions_)
      if (r.hasOutput) return true;
    return false;
  }

  const std::string& inputPath_;
  WorkerControl& control_;
  int inputFd_ = -1;
  std::uint64_t inputSize_ = 0;
  std::uint64_t consumed_ = 0;
  int lastProgress_ = -1;
  std::uint64_t nextProgressAt_ = 0;
  bool readFailed_ = false;
  std::string directory_;
  std::string tempPath_;
  LineFile temp_;
  bool tempOpen_ = false;
  std::optional<std::string> tempContent_;
  std::string headHead_;  // E01's first 115 characters
  std::string headTail_;  // E01 from position 144 on
  bool mfd_ = false;
  bool prescanned_ = false;
  bool mfdOutputsCreated_ = false;
  bool failed_ = false;
  bool prescanFailed_ = false;
  bool outputRefused_ = false;
  bool writeFailed_ = false;  // an output failed or was refused: nothing more is written
  int systemError_ = 0;       // errno of the first failed write
  FileLock folderLock_;
  ReductionRanges ranges_;
  std::vector<Reduction> reductions_;
  BlockMemory block_;              // the input read and not yet written
  std::size_t blockSize_ = 0;
  std::size_t filled_ = 0;         // bytes of the block read
  std::size_t scanned_ = 0;        // where the next line starts
  std::string_view raw_;           // the line being split, with its line end
  std::size_t rawAt_ = 0;          // its offset in the block
  std::string side_;               // rewritten lines and the outputs' E01
  GatheredText gathered_;          // each reduction's lines not yet written
};

}  // namespace

std::string splitOutputPath(const std::string& inputPath, int z) {
  const std::size_t slash = inputPath.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = inputPath.rfind('.');
  const std::string base = dot != std::string::npos && dot >= nameStart ? inputPath.substr(0, dot) : inputPath;
  const std::string number = cformat("%06d", z);
  return base + "_" + number.substr(number.size() - 4) + ".txt";
}

int splitWorker(const std::string& inputPath, WorkerControl& control, std::string* reason) {
  Splitter splitter(inputPath, control);
  const int status = splitter.run();
  if (reason != nullptr && (status == kSplitCannotWrite || status == kSplitWriteFailed)) *reason = splitter.reason();
  return status;
}

namespace {

// The end of "Separar Arquivo"; the path is the input's folder.
constexpr StatusMessage kSplitMessages[] = {
    {kSplitDone, "Processo finalizado!", "Alerta!", Icon::Information},
    {kSplitRefusedMf, nullptr},      // the worker has shown why
    {kSplitOutputRefused, nullptr},  // the worker has shown why
    {kSplitNoReduction, "Nenhuma redução Z foi encontrada no arquivo. Nenhum arquivo foi gerado."_cp, "Aviso!",
     Icon::Warning},
    {kSplitFolderBusy, kFolderInUse, "Erro!", Icon::Error, true},
    {kSplitInputNotRegular, kNotRegularInput, "Erro!", Icon::Error},
    {kSplitReadFailed, "Problemas ao abrir o arquivo COTEPE.", "Erro!", Icon::Error},
    {kSplitPathTooLong, "Caminho de arquivo muito longo!", "Erro!", Icon::Error},
    {kSplitInputMissing, "Arquivo não encontrado!"_cp, "Erro!", Icon::Error},
    {kSplitCannotWrite, "Sem permissão para gravação no diretório selecionado!"_cp, "Erro!", Icon::Error},
    {kSplitWriteFailed, "Não foi possível gravar os arquivos separados no diretório selecionado!"_cp, "Erro!",
     Icon::Error},
    {kSplitUnknownRecord, "Arquivo contem registros não conhecidos! Processo encerrado de maneira anormal!"_cp,
     "Erro!", Icon::Error},
    {kAnyOtherStatus, "Erro desconhecido!", "Erro!", Icon::Error},
};

}  // namespace

std::optional<int> splitCotepeFile(UserInterface& ui, ConversionSession& session) {
  const std::optional<std::string> input = ui.chooseOpenFile(cotepeFileRequest());
  if (!input) return std::nullopt;
  const std::string path = *input;
  session.job.inputPath = path;
  // Written by the worker, read once it has finished.
  auto reason = std::make_shared<std::string>();
  const WorkerOutcome outcome = runOnWorker(
      ui, session.job, conversionProcedure([path, reason](WorkerControl& c) { return splitWorker(path, c, reason.get()); }),
      true);
  if (outcome != WorkerOutcome::Finished) return std::nullopt;
  const int status = session.job.status();
  const std::size_t slash = path.rfind('/');
  const std::string folder = absolutePath(slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash));
  showStatusMessage(ui, kSplitMessages, status, folder, *reason);
  return status;
}

}  // namespace tavex

// The fault matrix: every platform call a pass makes, crossed with the errors it can return
// (and the byte counts no real call returns), driven through the whole program. Each row
// states its own outcome: the exact report or a tolerated result, the exit status and the
// documents on standard output. Faults start in the second of three passes, so every row
// also shows that the first document is complete; every row checks the device was closed.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fake_env.h"
#include "kernel_record_bytes.h"
#include "program.h"
#include "text_lines.h"

namespace wirelens {
namespace {

using testing::ByteBuffer;
using testing::FakeEnv;

enum class Call {
  openFull,
  openPlain,
  ioctl,
  read,
  kernFileProbe,
  kernFileRead,
  osReleaseProbe,
  osReleaseRead,
  hostNameMax,
  hostName,
  monotonic,
  realtime,
  sleep,
  writeStdout,
  writeStderr,
};

// A count in place of the call's own answer, relative to what the call was given or had.
enum class Count {
  none,
  half,      // half of it (a short read or write)
  zero,      // nothing
  oddBytes,  // one byte more than the data (reads: not whole records)
  beyond,    // one more than the call was given
  negative,  // -2 with no error
};

// An error, or a count. EINTR and the clocks strike once; every other fault stays for the
// rest of the run.
struct Fault {
  Fault(Call c, int e) : call(c), error(e) {}
  Fault(Call c, Count n) : call(c), count(n) {}
  Call call;
  int error = 0;
  Count count = Count::none;
};

constexpr std::uint64_t kOwnedSocket = 0x1000;
constexpr std::string_view kOsRelease = "13.4-RELEASE";

// Two sockets (or many, for documents longer than the output chunk); kern.file lists the
// first as held by pid 77, descriptor 5.
ByteBuffer deviceRecords(std::size_t count) {
  ByteBuffer out;
  for (std::size_t i = 0; i < count; ++i) {
    ByteBuffer record = testing::makeRecord();
    testing::setU16(record, 20, static_cast<std::uint16_t>(22 + i));
    testing::setU32(record, 56, 4);
    testing::setU64(record, 248, kOwnedSocket + i);
    out.insert(out.end(), record.begin(), record.end());
  }
  return out;
}

ByteBuffer kernFileValue() {
  ByteBuffer entry(128);
  testing::setU64(entry, 0, 128);
  testing::setI32(entry, 8, 77);
  testing::setI32(entry, 16, 5);
  testing::setI16(entry, 32, 2);
  testing::setU64(entry, 56, kOwnedSocket);
  return entry;
}

// A FakeEnv whose platform works, until the faults arm at the first sleep (the end of the
// first pass).
class FaultyEnv : public FakeEnv {
 public:
  FaultyEnv(std::size_t recordCount, std::vector<Fault> faults)
      : device_(deviceRecords(recordCount)), faults_(std::move(faults)) {
    onOpen = [this](const std::string& path) {
      const Call call = path == "/dev/wirelens-full" ? Call::openFull : Call::openPlain;
      if (const Fault* f = strike(call)) return sysError(f->error);
      return sysValue(3);
    };
    onIoctl = [this](int, std::uint64_t, void* argument) {
      if (const Fault* f = strike(Call::ioctl)) return sysError(f->error);
      unsigned char header[16] = {1};
      const auto count = static_cast<std::uint32_t>(device_.size() / 320);
      std::memcpy(header + 8, &count, 4);
      std::memcpy(argument, header, sizeof header);
      return sysValue(0);
    };
    onRead = [this](int, void* buffer, std::size_t size) {
      std::size_t n = std::min(size, device_.size());
      if (const Fault* f = strike(Call::read)) {
        if (f->error != 0) return sysError(f->error);
        switch (f->count) {
          case Count::half:
            n /= 2;
            break;
          case Count::zero:
            n = 0;
            break;
          case Count::oddBytes:
            n += 1;
            break;
          case Count::beyond:
            return sysValue(static_cast<std::int64_t>(size) + 1);
          case Count::negative:
            return sysValue(-2);
          case Count::none:
            break;
        }
      }
      std::memset(buffer, 0, n);
      std::memcpy(buffer, device_.data(), std::min(n, device_.size()));
      return sysValue(static_cast<std::int64_t>(n));
    };
    onSysctl = [this](const std::string& name, void* oldValue, std::size_t* oldLength) {
      const bool file = name == "kern.file";
      const ByteBuffer value = file ? kernFileValue() : release();
      const Call call = file ? (oldValue == nullptr ? Call::kernFileProbe : Call::kernFileRead)
                             : (oldValue == nullptr ? Call::osReleaseProbe : Call::osReleaseRead);
      std::size_t n = value.size();
      if (const Fault* f = strike(call)) {
        if (f->error != 0) return f->error;
        if (f->count == Count::beyond) {
          *oldLength += 1;
          return 0;
        }
        if (f->count == Count::half) n /= 2;
      }
      if (oldValue == nullptr) {
        *oldLength = n;
        return 0;
      }
      if (*oldLength < n) return ENOMEM;
      std::memcpy(oldValue, value.data(), n);
      *oldLength = n;
      return 0;
    };
    onHostName = [this](char* buffer, std::size_t length) {
      if (const Fault* f = strike(Call::hostName)) return f->error;
      std::strncpy(buffer, "testhost", length);
      return 0;
    };
    onWriteStdout = [this](const void* data, std::size_t size) {
      return written(strike(Call::writeStdout), data, size, &FakeEnv::takeStdout);
    };
    onWriteStderr = [this](const void* data, std::size_t size) {
      return written(strike(Call::writeStderr), data, size, &FakeEnv::takeStderr);
    };
  }

  long hostNameMax() override {
    FakeEnv::hostNameMax();
    return strike(Call::hostNameMax) ? -1 : 255;
  }
  Timespec monotonicNow() override {
    FakeEnv::monotonicNow();
    // A failed clock_gettime leaves its zeroed result.
    return strike(Call::monotonic) ? Timespec{} : Timespec{100, 0};
  }
  Timespec realtimeNow() override {
    FakeEnv::realtimeNow();
    return strike(Call::realtime) ? Timespec{} : Timespec{1765363200, 0};
  }
  int sleepMonotonic(const Timespec& request, Timespec& remaining) override {
    FakeEnv::sleepMonotonic(request, remaining);
    armed_ = true;
    if (const Fault* f = strike(Call::sleep)) {
      remaining = Timespec{0, 400000000};
      return f->error;
    }
    return 0;
  }

 private:
  static ByteBuffer release() {
    ByteBuffer value(kOsRelease.size() + 1);
    std::memcpy(value.data(), kOsRelease.data(), kOsRelease.size());
    return value;
  }

  // The fault for this call, if one is armed and not spent.
  const Fault* strike(Call call) {
    if (!armed_) return nullptr;
    for (std::size_t i = 0; i < faults_.size(); ++i) {
      const Fault& f = faults_[i];
      if (f.call != call || spent_[i]) continue;
      const bool once = f.error == EINTR || call == Call::monotonic || call == Call::realtime;
      if (once) spent_[i] = true;
      return &f;
    }
    return nullptr;
  }

  SysResult written(const Fault* f, const void* data, std::size_t size,
                    void (FakeEnv::*take)(const void*, std::size_t)) {
    if (f != nullptr && f->error != 0) return sysError(f->error);
    const Count count = f != nullptr ? f->count : Count::none;
    switch (count) {
      case Count::half: {
        const std::size_t n = size > 1 ? size / 2 : size;
        (this->*take)(data, n);
        return sysValue(static_cast<std::int64_t>(n));
      }
      case Count::zero:
        return sysValue(0);
      case Count::beyond:
        return sysValue(static_cast<std::int64_t>(size) + 1);
      case Count::negative:
        return sysValue(-2);
      case Count::oddBytes:
      case Count::none:
        break;
    }
    (this->*take)(data, size);
    return sysValue(static_cast<std::int64_t>(size));
  }

  ByteBuffer device_;
  std::vector<Fault> faults_;
  std::vector<bool> spent_ = std::vector<bool>(faults_.size(), false);
  bool armed_ = false;
};

struct Row {
  std::string what;
  std::vector<Fault> faults;
  int status = 0;
  std::size_t documents = 3;  // complete documents on standard output
  std::string report;         // standard error, exactly
  // Empty: the documents are those of a run without faults. Otherwise the second document,
  // the first one written with the fault, holds mustHave and lacks mustLack.
  std::string mustHave;
  std::string mustLack;
  bool large = false;  // documents longer than an output chunk
};

// The run ends with `report` and status 1 after the first document.
Row fatal(std::string what, std::vector<Fault> faults, std::string report) {
  Row row;
  row.what = std::move(what);
  row.faults = std::move(faults);
  row.status = 1;
  row.documents = 1;
  row.report = std::move(report);
  return row;
}
// The fault leaves no trace: three documents, those of a run without it.
Row unseen(std::string what, std::vector<Fault> faults) {
  Row row;
  row.what = std::move(what);
  row.faults = std::move(faults);
  return row;
}
// Three documents; the second shows the fault as stated.
Row shown(std::string what, std::vector<Fault> faults, std::string mustHave,
          std::string mustLack = "") {
  Row row = unseen(std::move(what), std::move(faults));
  row.mustHave = std::move(mustHave);
  row.mustLack = std::move(mustLack);
  return row;
}
Row longDocuments(Row row) {
  row.large = true;
  return row;
}

std::string os(int e) {
  return "text " + std::to_string(e) + " (os error " + std::to_string(e) + ")";
}
std::string collectReport(const std::string& causes) {
  return "Error: failed to collect TCP sockets\n\nCaused by:\n" + causes;
}
std::string twoCauses(const std::string& outer, const std::string& inner) {
  return "    0: " + outer + "\n    1: " + inner + "\n";
}
std::string flushReport(const std::string& io) {
  return "Error: failed to flush output\n\nCaused by:\n" + twoCauses("I/O error: " + io, io);
}
std::string writeReport(const std::string& io) {
  return "Error: failed to write output\n\nCaused by:\n" +
         twoCauses("serialization error: " + io, io);
}

const std::string kOpenPath = "/dev/wirelens-full or /dev/wirelens";
const std::string kInvalidRead = "read returned an invalid byte count";
const std::string kInvalidWrite = "write returned an invalid byte count";
const std::string kZeroWrite = "failed to write the buffered data";
const std::string kOwner = "\"pid\":77,";
const std::string kUnknownOs = "\"osVersion\":\"unknown\"";

std::vector<Row> matrix() {
  std::vector<Row> rows;
  const auto name = [](const char* call, int e) {
    return std::string(call) + " " + std::strerror(e) + " (" + std::to_string(e) + ")";
  };
  const std::string noOwners = "\"sources\":[\"DATA_SOURCE_FREEBSD_KLD\"]";

  // Device open, first path: any refusal falls back to the second path; EINTR is repeated.
  for (int e : {EINTR, EIO, ENOMEM, EACCES, EPERM, ENXIO, EFAULT, EAGAIN})
    rows.push_back(unseen(name("open full", e), {{Call::openFull, e}}));
  // Both paths: the second open's error is reported; EINTR on it is repeated.
  rows.push_back(
      unseen(name("open plain", EINTR), {{Call::openFull, ENOENT}, {Call::openPlain, EINTR}}));
  for (int e : {EIO, ENOMEM, EACCES, EPERM, ENXIO, EFAULT, EAGAIN})
    rows.push_back(fatal(
        name("open plain", e), {{Call::openFull, ENOENT}, {Call::openPlain, e}},
        collectReport(twoCauses("failed to open device " + kOpenPath + ": " + os(e), os(e)))));
  // The header request is made once, EINTR included.
  for (int e : {EINTR, EIO, ENOMEM, EACCES, EPERM, ENXIO, EBADF, EFAULT, EAGAIN})
    rows.push_back(fatal(name("ioctl", e), {{Call::ioctl, e}},
                         collectReport(twoCauses("ioctl 0x40105401 failed: " + os(e), os(e)))));
  // The read is made once: its error is reported, its count is the snapshot.
  for (int e : {EINTR, EIO, ENOMEM, EPERM, ENXIO, EBADF, EFAULT, EAGAIN})
    rows.push_back(fatal(name("read", e), {{Call::read, e}},
                         collectReport(twoCauses("device read failed: " + os(e), os(e)))));
  rows.push_back(shown("read of one record of two", {{Call::read, Count::half}},
                       "\"totalSockets\":1,", "\"totalSockets\":2,"));
  rows.push_back(shown("read of zero bytes", {{Call::read, Count::zero}},
                       "\"pcblistGeneration\":\"0\"", "\"records\""));
  rows.push_back(fatal("read of part of a record", {{Call::read, Count::oddBytes}},
                       collectReport("    parse error at offset 0: buffer size 641 is not a "
                                     "multiple of record size 320\n")));
  for (Count count : {Count::beyond, Count::negative})
    rows.push_back(
        fatal(count == Count::beyond ? "read reporting more than its buffer"
                                     : "read reporting a negative count",
              {{Call::read, count}},
              collectReport(twoCauses("device read failed: " + kInvalidRead, kInvalidRead))));

  // kern.file: every failure leaves the pass without owners.
  for (int e : {EINTR, EIO, ENOMEM, EACCES, EPERM, EFAULT}) {
    rows.push_back(shown(name("kern.file probe", e), {{Call::kernFileProbe, e}}, noOwners, kOwner));
    rows.push_back(shown(name("kern.file read", e), {{Call::kernFileRead, e}}, noOwners, kOwner));
  }
  rows.push_back(shown("kern.file read reporting more than its buffer",
                       {{Call::kernFileRead, Count::beyond}}, noOwners, kOwner));
  rows.push_back(shown("kern.file read of half an entry", {{Call::kernFileRead, Count::half}},
                       noOwners, kOwner));
  // kern.osrelease and the host name: the fact reads "unknown".
  for (int e : {EINTR, EIO, ENOMEM, EACCES, EPERM, EFAULT}) {
    rows.push_back(
        shown(name("osrelease probe", e), {{Call::osReleaseProbe, e}}, kUnknownOs, "13.4-RELEASE"));
    rows.push_back(
        shown(name("osrelease read", e), {{Call::osReleaseRead, e}}, kUnknownOs, "13.4-RELEASE"));
  }
  rows.push_back(shown("osrelease read reporting more than its buffer",
                       {{Call::osReleaseRead, Count::beyond}}, kUnknownOs, "13.4-RELEASE"));
  rows.push_back(unseen("host name limit unknown", {{Call::hostNameMax, EINVAL}}));
  for (int e : {EFAULT, EPERM, EIO, ENAMETOOLONG})
    rows.push_back(shown(name("gethostname", e), {{Call::hostName, e}}, "\"hostname\":\"unknown\"",
                         "testhost"));

  // Clocks: a failed reading is zero, so the duration or the timestamp says so.
  rows.push_back(shown("monotonic clock fails at the pass start", {{Call::monotonic, EINVAL}},
                       "\"collectionDurationNs\":\"100000000000\""));
  rows.push_back(shown("wall clock fails for the metadata", {{Call::realtime, EINVAL}},
                       "{\"metadata\":{\"hostname\"", "\"metadata\":{\"timestampNs\""));
  // The pause: EINTR resumes it, anything else ends it; no pass is lost either way.
  for (int e : {EINTR, EINVAL, EFAULT, ENOTSUP})
    rows.push_back(unseen(name("sleep", e), {{Call::sleep, e}}));

  // Standard output, a document short enough to leave at the flush.
  rows.push_back(unseen(name("write", EINTR), {{Call::writeStdout, EINTR}}));
  rows.push_back(unseen("write of half", {{Call::writeStdout, Count::half}}));
  {
    // Descriptor 1 not open: the output is discarded as if written.
    Row discarded = unseen(name("write", EBADF), {{Call::writeStdout, EBADF}});
    discarded.documents = 1;
    rows.push_back(discarded);
  }
  for (int e : {EIO, ENOMEM, EACCES, EPERM, ENXIO, EFAULT, EAGAIN, EPIPE, ENOSPC})
    rows.push_back(fatal(name("write", e), {{Call::writeStdout, e}}, flushReport(os(e))));
  rows.push_back(
      fatal("write of zero bytes", {{Call::writeStdout, Count::zero}}, flushReport(kZeroWrite)));
  rows.push_back(fatal("write reporting more than it was given",
                       {{Call::writeStdout, Count::beyond}}, flushReport(kInvalidWrite)));
  rows.push_back(fatal("write reporting a negative count", {{Call::writeStdout, Count::negative}},
                       flushReport(kInvalidWrite)));
  // A document longer than a chunk leaves while it is written.
  for (int e : {EINTR, EIO, EAGAIN, EPIPE, ENOSPC}) {
    const std::string what = name("long document, write", e);
    rows.push_back(longDocuments(e == EINTR
                                     ? unseen(what, {{Call::writeStdout, e}})
                                     : fatal(what, {{Call::writeStdout, e}}, writeReport(os(e)))));
  }
  rows.push_back(
      longDocuments(unseen("long document, write of half", {{Call::writeStdout, Count::half}})));
  rows.push_back(longDocuments(fatal("long document, write of zero bytes",
                                     {{Call::writeStdout, Count::zero}}, writeReport(kZeroWrite))));
  rows.push_back(
      longDocuments(fatal("long document, write reporting more than it was given",
                          {{Call::writeStdout, Count::beyond}}, writeReport(kInvalidWrite))));
  rows.push_back(
      longDocuments(fatal("long document, write reporting a negative count",
                          {{Call::writeStdout, Count::negative}}, writeReport(kInvalidWrite))));

  // Standard error, while a failed run reports: the status stays 1 whatever it does.
  const std::string readReport =
      collectReport(twoCauses("device read failed: " + os(EIO), os(EIO)));
  rows.push_back(fatal(name("report write", EINTR), {{Call::read, EIO}, {Call::writeStderr, EINTR}},
                       readReport));
  rows.push_back(fatal("report write of half",
                       {{Call::read, EIO}, {Call::writeStderr, Count::half}}, readReport));
  for (int e : {EIO, EBADF, EPIPE, ENOSPC, EAGAIN})
    rows.push_back(fatal(name("report write", e), {{Call::read, EIO}, {Call::writeStderr, e}}, ""));
  rows.push_back(fatal("report write of zero bytes",
                       {{Call::read, EIO}, {Call::writeStderr, Count::zero}}, ""));
  rows.push_back(fatal("report write reporting more than it was given",
                       {{Call::read, EIO}, {Call::writeStderr, Count::beyond}}, ""));
  rows.push_back(fatal("report write reporting a negative count",
                       {{Call::read, EIO}, {Call::writeStderr, Count::negative}}, ""));
  return rows;
}

struct RunResult {
  int status;
  std::string out;
  std::string err;
  bool deviceClosed;
};

RunResult runThreePasses(std::size_t records, std::vector<Fault> faults) {
  FaultyEnv env(records, std::move(faults));
  const std::vector<std::string_view> arguments = {"-c", "3", "-i", "1"};
  const int status = runProgram(env, arguments);
  return {status, env.stdoutBytes, env.stderrBytes, env.openDescriptors.empty()};
}

std::string firstLines(const std::vector<std::string>& lines, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n && i < lines.size(); ++i) out += lines[i] + "\n";
  return out;
}

TEST(FaultMatrix, EveryPlatformCallOfAPassFailsWithItsStatedOutcome) {
  const RunResult small = runThreePasses(2, {});
  const RunResult large = runThreePasses(100, {});
  ASSERT_EQ(small.status, 0);
  ASSERT_GT(large.out.size() / 3, 64u * 1024) << "long documents must exceed one output chunk";
  ASSERT_NE(small.out.find(kOwner), std::string::npos);
  ASSERT_NE(small.out.find("\"osVersion\":\"FreeBSD 13.4-RELEASE\""), std::string::npos);

  for (const Row& row : matrix()) {
    SCOPED_TRACE(row.what);
    const std::vector<std::string> reference =
        testing::splitLines(row.large ? large.out : small.out);
    const RunResult run = runThreePasses(row.large ? 100 : 2, row.faults);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.err, row.report);
    EXPECT_TRUE(run.deviceClosed);
    const std::vector<std::string> lines = testing::splitLines(run.out);
    ASSERT_EQ(lines.size(), row.documents);
    ASSERT_TRUE(run.out.empty() || run.out.back() == '\n');
    EXPECT_EQ(lines[0], reference[0]) << "the document before the fault";
    if (row.mustHave.empty() && row.mustLack.empty()) {
      EXPECT_EQ(run.out, firstLines(reference, row.documents));
      continue;
    }
    ASSERT_GE(lines.size(), 2u);
    if (!row.mustHave.empty()) {
      EXPECT_NE(lines[1].find(row.mustHave), std::string::npos) << lines[1];
    }
    if (!row.mustLack.empty()) {
      EXPECT_EQ(lines[1].find(row.mustLack), std::string::npos) << lines[1];
    }
  }
}

}  // namespace
}  // namespace wirelens

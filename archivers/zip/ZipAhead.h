// Files compressed on worker threads ahead of the thread that writes the
// archive: in order, within a memory budget, each with a Packer of its own.
// The archive comes out byte for byte as if made one file at a time.
#pragma once

#include <windows.h>

#include "archivers/zip/ZipFormat.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zip {

class Ahead {
 public:
  struct Job {
    std::wstring path;
    uint64_t size = 0;  // as collected: what the job may hold in memory
  };
  enum class State { Waiting, Done, OpenError, ReadError, Cancelled };
  using Tick = std::function<bool(bool opened, uint64_t read)>;  // false = cancel

  // Worker threads for the processors this process may use, at most
  // `maxThreads`; none when there is only one (then Wait does the job itself).
  Ahead(std::vector<Job> jobs, int level, uint64_t budget, unsigned maxThreads);
  ~Ahead();  // stops the workers and waits for them
  Ahead(const Ahead&) = delete;
  Ahead& operator=(const Ahead&) = delete;

  // Waits until job `index` is done (jobs are waited for in order), calling
  // `tick` about every 50 ms with what was read so far.
  State Wait(size_t index, const Tick& tick);
  const Packed& Result(size_t index) const { return slots_[index]->packed; }
  // The job's memory goes back to the budget; workers may run further ahead.
  void Release(size_t index);

  static unsigned Processors();

 private:
  struct Slot {
    Job job;
    State state = State::Waiting;  // under lock_
    std::atomic<bool> opened{false};
    std::atomic<uint64_t> read{0};
    Packed packed;
  };
  static DWORD WINAPI ThreadMain(void* self);
  void Work();
  void Run(Slot& slot, Packer& packer);

  std::vector<std::unique_ptr<Slot>> slots_;
  int level_;
  uint64_t budget_;
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
  size_t next_ = 0;       // the next job a worker takes
  size_t released_ = 0;   // jobs below this one are written and freed
  uint64_t inFlight_ = 0; // memory of taken jobs not yet released
  std::atomic<bool> stop_{false};
  // Buffers of released jobs, kept for later ones: a large block allocated
  // anew is a fresh mapping, paid for in page faults.
  std::vector<std::string> spare_;
  uint64_t spareBytes_ = 0;
  std::vector<HANDLE> threads_;
  std::unique_ptr<Packer> ownPacker_;  // without workers
};

}  // namespace zip

#include "archivers/zip/ZipAhead.h"

#include <algorithm>

namespace zip {

unsigned Ahead::Processors() {
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
    unsigned count = 0;
    for (; process != 0; process &= process - 1) ++count;
    return count;
  }
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return std::max<unsigned>(info.dwNumberOfProcessors, 1);
}

Ahead::Ahead(std::vector<Job> jobs, int level, uint64_t budget, unsigned maxThreads)
    : level_(level), budget_(budget) {
  slots_.reserve(jobs.size());
  for (auto& job : jobs) {
    slots_.push_back(std::make_unique<Slot>());
    slots_.back()->job = std::move(job);
  }
  unsigned threads = std::min<unsigned>(Processors(), maxThreads);
  if (threads < 2 || slots_.size() < 2) return;
  for (unsigned i = 0; i < threads; ++i) {
    HANDLE thread = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    if (thread == nullptr) break;  // fewer workers, or the caller does the jobs itself
    threads_.push_back(thread);
  }
}

Ahead::~Ahead() {
  stop_ = true;
  AcquireSRWLockExclusive(&lock_);
  WakeAllConditionVariable(&changed_);
  ReleaseSRWLockExclusive(&lock_);
  for (HANDLE thread : threads_) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
}

DWORD WINAPI Ahead::ThreadMain(void* self) {
  static_cast<Ahead*>(self)->Work();
  return 0;
}

void Ahead::Work() {
  Packer packer;
  for (;;) {
    AcquireSRWLockExclusive(&lock_);
    // The job the writer waits for is always taken; later ones while they fit.
    while (!stop_ && next_ < slots_.size() && next_ != released_ &&
           inFlight_ + slots_[next_]->job.size > budget_)
      SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
    if (stop_ || next_ >= slots_.size()) {
      ReleaseSRWLockExclusive(&lock_);
      return;
    }
    Slot& slot = *slots_[next_++];
    inFlight_ += slot.job.size;
    if (!spare_.empty()) {
      slot.packed.data = std::move(spare_.back());
      spare_.pop_back();
      spareBytes_ -= slot.packed.data.capacity();
    }
    ReleaseSRWLockExclusive(&lock_);
    Run(slot, packer);
  }
}

void Ahead::Run(Slot& slot, Packer& packer) {
  State state = State::Done;
  File input;
  if (!input.OpenRead(slot.job.path)) {
    state = State::OpenError;
  } else {
    // Room for the data as it comes (deflate may add a little), grown once.
    slot.packed.data.reserve(static_cast<size_t>(slot.job.size + slot.job.size / 256 + 1024));
    slot.opened = true;
    // Twice the collected size at most: a file that grows meanwhile is read
    // to its end, one that grows without end is not.
    uint64_t limit = std::max<uint64_t>(slot.job.size * 2, 1 << 20);
    auto progress = [&](uint64_t total) {
      if (total > slot.read) slot.read = total;  // the store round reads again: no going back
      return !stop_;
    };
    switch (packer.Pack(input, level_, limit, slot.packed, progress)) {
      case Packer::Result::Ok: break;
      case Packer::Result::Cancelled: state = State::Cancelled; break;
      case Packer::Result::ReadError:
      case Packer::Result::TooLarge: state = State::ReadError; break;
    }
  }
  AcquireSRWLockExclusive(&lock_);
  slot.state = state;
  WakeAllConditionVariable(&changed_);
  ReleaseSRWLockExclusive(&lock_);
}

Ahead::State Ahead::Wait(size_t index, const Tick& tick) {
  Slot& slot = *slots_[index];
  if (threads_.empty()) {
    // No workers: the job is done here, with progress as it goes.
    if (!ownPacker_) ownPacker_ = std::make_unique<Packer>();
    File input;
    if (!input.OpenRead(slot.job.path)) return slot.state = State::OpenError;
    slot.opened = true;
    bool go = true;
    auto progress = [&](uint64_t total) {
      if (total > slot.read) slot.read = total;
      return go = tick(true, slot.read);
    };
    uint64_t limit = std::max<uint64_t>(slot.job.size * 2, 1 << 20);
    switch (ownPacker_->Pack(input, level_, limit, slot.packed, progress)) {
      case Packer::Result::Ok: return slot.state = State::Done;
      case Packer::Result::Cancelled: return slot.state = State::Cancelled;
      default: return slot.state = State::ReadError;
    }
  }
  AcquireSRWLockExclusive(&lock_);
  while (slot.state == State::Waiting) {
    bool opened = slot.opened;
    uint64_t read = slot.read;
    ReleaseSRWLockExclusive(&lock_);
    if (!tick(opened, read)) return State::Cancelled;
    AcquireSRWLockExclusive(&lock_);
    if (slot.state == State::Waiting) SleepConditionVariableSRW(&changed_, &lock_, 50, 0);
  }
  State state = slot.state;
  ReleaseSRWLockExclusive(&lock_);
  return state;
}

void Ahead::Release(size_t index) {
  AcquireSRWLockExclusive(&lock_);
  Slot& slot = *slots_[index];
  if (!threads_.empty()) inFlight_ -= std::min(inFlight_, slot.job.size);
  std::string data = std::move(slot.packed.data);
  slot.packed = Packed{};
  if (!threads_.empty() && spareBytes_ + data.capacity() <= budget_) {
    data.clear();
    spareBytes_ += data.capacity();
    spare_.push_back(std::move(data));
  }
  released_ = std::max(released_, index + 1);
  WakeAllConditionVariable(&changed_);
  ReleaseSRWLockExclusive(&lock_);
}

}  // namespace zip

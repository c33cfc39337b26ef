#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include "app/Platform.h"

namespace wavfreq {

/// Runs a summary's work on a thread of its own, beside the meter's: the samples handed in are
/// copied into a ring of slots, and the thread gives them to the summary in the order they came.
/// The summary sees the same samples in the same order as it would on the caller's thread, so
/// its figures are the same to the bit. Where no thread can be started, the samples go to the
/// summary at once.
///
/// `Summary` takes `ProcessBlock(const Sample*, int)`. Should memory run out for the summary
/// (on either thread), the summary is lost: it takes no further samples, the meter's thread
/// goes on, and `Lost()` says so.
template <class Summary, class Sample>
class SummaryThread {
 public:
  explicit SummaryThread(Summary& fed) : summary(fed) {
    try {
      worker = Platform::StartQuietThread([this] { Work(); });
    } catch (const std::system_error&) {
      // No thread to be had: the caller's thread does the work.
    }
  }
  ~SummaryThread() { Cancel(); }
  SummaryThread(const SummaryThread&) = delete;
  SummaryThread& operator=(const SummaryThread&) = delete;

  void ProcessBlock(const Sample* samples, int count) {
    if (!worker.joinable()) {
      if (!lost) {
        Guarded([&] { summary.ProcessBlock(samples, count); });
      }
      return;
    }
    while (count > 0) {
      if (filling == 0) {
        // The slot to fill must have been worked through.
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return lost || published - consumed < kSlots; });
        if (lost) {
          return;
        }
      }
      const int take = std::min(count, kSlotSamples - filling);
      Sample* slot = nullptr;
      Guarded([&] { slot = Slot(published); });
      if (slot == nullptr) {
        return;
      }
      std::copy(samples, samples + take, slot + filling);
      filling += take;
      samples += take;
      count -= take;
      if (filling == kSlotSamples) {
        Publish();
      }
    }
  }

  /// Hands over what is left and waits until the summary has taken every sample.
  void Finish() {
    if (!worker.joinable()) {
      return;
    }
    if (filling > 0 && !Lost()) {
      Publish();
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      finished = true;
    }
    changed.notify_all();
    worker.join();
  }

  /// Hands over what is gathered and waits until the summary has taken it: before the input makes
  /// the run wait, so that what is measured until then is out.
  void CatchUp() {
    if (!worker.joinable()) {
      return;
    }
    if (filling > 0 && !Lost()) {
      Publish();
    }
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return lost || consumed == published; });
  }

  /// Whether memory ran out for the summary.
  bool Lost() {
    std::lock_guard<std::mutex> lock(mutex);
    return lost;
  }

  /// Stops the thread; what it has not taken yet is dropped.
  void Cancel() {
    if (!worker.joinable()) {
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      cancelled = true;
    }
    changed.notify_all();
    worker.join();
  }

 private:
  // Slots of 64 Ki samples: the threads meet a few thousand times a second at most.
  static constexpr std::size_t kSlots = 4;
  static constexpr int kSlotSamples = 65536;

  // A slot's memory is taken when it is first filled: a short input needs one.
  Sample* Slot(std::size_t number) {
    std::unique_ptr<Sample[]>& slot = storage[number % kSlots];
    if (slot == nullptr) {
      slot.reset(new Sample[kSlotSamples]);
    }
    return slot.get();
  }

  void Publish() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      counts[published % kSlots] = filling;
      ++published;
    }
    changed.notify_all();
    filling = 0;
  }

  void Work() {
    for (;;) {
      std::size_t slot = 0;
      int count = 0;
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return cancelled || consumed < published || finished; });
        if (cancelled || consumed == published) {
          return;
        }
        slot = consumed;
        count = counts[slot % kSlots];
      }
      if (!Guarded([&] { summary.ProcessBlock(Slot(slot), count); })) {
        return;
      }
      {
        std::lock_guard<std::mutex> lock(mutex);
        ++consumed;
      }
      changed.notify_all();
    }
  }

  // Runs `work`; memory that runs out on the way loses the summary, not the run. False then.
  template <class Work>
  bool Guarded(Work work) {
    try {
      work();
      return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      lost = true;
    }
    changed.notify_all();
    return false;
  }

  Summary& summary;
  std::unique_ptr<Sample[]> storage[kSlots];
  int counts[kSlots] = {};
  int filling = 0;  // samples in the slot being filled, which is slot `published`
  std::mutex mutex;
  std::condition_variable changed;
  // Guarded by the mutex: slots handed over and slots worked through, counted from the start.
  std::size_t published = 0;
  std::size_t consumed = 0;
  bool finished = false;
  bool cancelled = false;
  bool lost = false;
  std::thread worker;
};

}  // namespace wavfreq

#pragma once

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "app/Platform.h"

namespace wavfreq {

/// Reads a source's channel on a thread of its own, a few slots ahead of the measurement: the
/// reading (the operating system's copy and the decoding) then runs beside the measuring on
/// another core. The blocks come out in the order, and with the sizes, that reading them in turn
/// would give: whole slots of `kSlotFrames` until the data ends, the source fails or nothing more
/// arrives. Where no thread can be started, the caller's thread reads each slot when it is asked.
///
/// A stage, where given, works on each slot on the reading thread as soon as it is read, and
/// leaves its results in the slot's values (`Values`).
///
/// The source and the stage are the thread's alone from the start until `Next` has returned 0,
/// `Stop` has returned or the reader is destroyed; only then may the caller use them.
template <class Source, class Sample>
class ReadAhead {
 public:
  // Slots of 64 KiB: the threads meet once in four slots at most, and the eight stay within a
  // core's second-level cache.
  static constexpr int kSlotFrames = static_cast<int>(65536 / sizeof(Sample));
  static constexpr int kSlots = 8;
  using Stage = std::function<void(const Sample* samples, int count, std::vector<double>& values)>;

  ReadAhead(Source& read, int channelToRead, Stage slotStage = nullptr)
      : source(read), channel(channelToRead), stage(std::move(slotStage)) {
    for (auto& slot : slots) {
      slot.reset(new (std::nothrow) Sample[kSlotFrames]);
      if (slot == nullptr) {
        // Without its memory it reads nothing: the caller reads as it would without it.
        return;
      }
    }
    ready = true;
    try {
      worker = Platform::StartQuietThread([this] { Work(); });
      threaded = true;
    } catch (const std::system_error&) {
      // No thread to be had: the slots are read when asked for.
    } catch (const std::bad_alloc&) {
    }
  }
  ~ReadAhead() { Stop(); }

  /// False where memory for the slots could not be had: nothing is read then.
  bool Ready() const { return ready; }

  /// Stops the reading after the slot being read: what was read before is still handed out by
  /// `Next`, then 0.
  void Stop() {
    if (worker.joinable()) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        cancelled = true;
      }
      changed.notify_all();
      worker.join();
    }
    ended = ended || !threaded;
  }

  /// What the stage left of the slot that `Next` handed out last.
  const std::vector<double>& Values() const { return values[threaded ? consumed % kSlots : 0]; }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  /// The next slot's samples at `samples`, and their count; 0 once reading has ended. The
  /// samples stay valid until the next call.
  int Next(const Sample*& samples) {
    if (!threaded) {
      const int count = ended || !ready ? 0 : ReadSlot(0);
      ended = count == 0;
      samples = slots[0].get();
      return count;
    }
    std::unique_lock<std::mutex> lock(mutex);
    if (taking) {
      // The slot handed out last time is free again; the reader, if it waits, is woken once half
      // the slots are, so that the threads meet seldom.
      ++consumed;
      taking = false;
      if (readerWaits && published - consumed <= kSlots / 2) {
        changed.notify_all();
      }
    }
    callerWaits = true;
    changed.wait(lock, [this] { return consumed < published || ended || cancelled; });
    callerWaits = false;
    if (consumed == published) {
      return 0;
    }
    taking = true;
    samples = slots[consumed % kSlots].get();
    return counts[consumed % kSlots];
  }

 private:
  // Fills a slot as the blocks of a sample loop would come: full, unless reading ended in it;
  // then the stage works on it.
  int ReadSlot(std::size_t number) {
    Sample* slot = slots[number].get();
    int count = 0;
    while (count < kSlotFrames && !source.IsEndOfData() && !source.HasError()) {
      const int read = source.ReadBlock(channel, slot + count, kSlotFrames - count);
      if (read == 0) {
        break;
      }
      count += read;
    }
    if (stage && count > 0) {
      stage(slot, count, values[number]);
    }
    return count;
  }

  void Work() {
    for (std::size_t slot = 0;; ++slot) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        if (slot - consumed == kSlots) {
          readerWaits = true;
          changed.wait(lock, [this] { return cancelled || published - consumed <= kSlots / 2; });
          readerWaits = false;
        }
        if (cancelled) {
          return;
        }
      }
      const int count = ReadSlot(slot % kSlots);
      bool wake = false;
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (count > 0) {
          counts[slot % kSlots] = count;
          ++published;
        }
        ended = count < kSlotFrames;
        wake = callerWaits;
      }
      if (wake) {
        changed.notify_all();
      }
      if (count < kSlotFrames) {
        return;
      }
    }
  }

  Source& source;
  const int channel;
  const Stage stage;
  std::unique_ptr<Sample[]> slots[kSlots];
  std::vector<double> values[kSlots];
  bool ready = false;
  bool threaded = false;
  int counts[kSlots] = {};
  std::mutex mutex;
  std::condition_variable changed;
  // Guarded by the mutex: slots read and slots given back, counted from the start.
  std::size_t published = 0;
  std::size_t consumed = 0;
  bool taking = false;  // a slot is out with the caller
  bool callerWaits = false;
  bool readerWaits = false;
  bool ended = false;
  bool cancelled = false;
  std::thread worker;
};

}  // namespace wavfreq

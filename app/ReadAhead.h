#pragma once

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/Platform.h"

namespace wavfreq {

/// Reads a source's channel on a thread of its own, a few slots ahead of the measurement: the
/// reading (the operating system's copy and the decoding) then runs beside the measuring on
/// another core. The blocks come out in the order, and with the sizes, that reading them in turn
/// would give: whole slots of `kSlotFrames` until the data ends, the source fails or nothing more
/// arrives. Where no thread can be started, the caller's thread reads each slot when it is asked.
///
/// The source is the thread's alone from the start until `Next` has returned 0 or the reader is
/// destroyed; only then may the caller ask it for its end or its error.
template <class Source, class Sample>
class ReadAhead {
 public:
  static constexpr int kSlotFrames = 8192;
  static constexpr int kSlots = 8;

  ReadAhead(Source& read, int channelToRead) : source(read), channel(channelToRead) {
    for (auto& slot : slots) {
      slot.reset(new Sample[kSlotFrames]);
    }
    try {
      worker = Platform::StartQuietThread([this] { Work(); });
    } catch (const std::system_error&) {
      // No thread to be had: the slots are read when asked for.
    }
  }
  ~ReadAhead() {
    if (worker.joinable()) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        cancelled = true;
      }
      changed.notify_all();
      worker.join();
    }
  }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  /// The next slot's samples at `samples`, and their count; 0 once reading has ended. The
  /// samples stay valid until the next call.
  int Next(const Sample*& samples) {
    if (!worker.joinable()) {
      const int count = ended ? 0 : ReadSlot(slots[0].get());
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
    changed.wait(lock, [this] { return consumed < published || ended; });
    callerWaits = false;
    if (consumed == published) {
      return 0;
    }
    taking = true;
    samples = slots[consumed % kSlots].get();
    return counts[consumed % kSlots];
  }

 private:
  // Fills a slot as the blocks of a sample loop would come: full, unless reading ended in it.
  int ReadSlot(Sample* slot) {
    int count = 0;
    while (count < kSlotFrames && !source.IsEndOfData() && !source.HasError()) {
      const int read = source.ReadBlock(channel, slot + count, kSlotFrames - count);
      if (read == 0) {
        break;
      }
      count += read;
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
      const int count = ReadSlot(slots[slot % kSlots].get());
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
  std::unique_ptr<Sample[]> slots[kSlots];
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

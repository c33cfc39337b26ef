#pragma once

#include "core/IWavSource.h"

namespace wavfreq {

/// A frame source read from a file named by path.
class IWavFileSource : public IWavSource {
 public:
  /// True when the file is open, valid and positioned before its first frame, with any earlier
  /// error cleared; false with the reason recorded otherwise.
  virtual bool Open(const char* path) = 0;
  /// Releases the open file; the error state is left as it is.
  virtual void Close() = 0;
  /// True once a read has found no further frame; false while an error is recorded.
  virtual bool IsEndOfData() = 0;
};

}  // namespace wavfreq

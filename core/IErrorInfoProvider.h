#pragma once

#include <string>

namespace wavfreq {

/// Read-only face of an error record: a flag, a signed code and a message.
/// Holders of a component read its failures through this face but cannot change them.
class IErrorInfoProvider {
 public:
  virtual ~IErrorInfoProvider() {}
  virtual bool HasError() const = 0;
  /// The code is returned whether or not the flag is set.
  virtual int GetErrorCode() const = 0;
  /// A copy: later changes to the record do not reach a string already returned.
  virtual std::string GetErrorMessage() const = 0;
};

}  // namespace wavfreq

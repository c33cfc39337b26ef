#pragma once

#include <string>

#include "core/IErrorInfoProvider.h"

namespace wavfreq {

/// The concrete error record. Components keep one by value (named `errorInfo`) and change it only
/// through the operations below, which are deliberately not part of the read-only interface.
class ErrorInfoProvider final : public IErrorInfoProvider {
 public:
  ErrorInfoProvider() = default;

  bool HasError() const override { return hasError; }
  int GetErrorCode() const override { return errorCode; }
  std::string GetErrorMessage() const override { return message; }

  void SetError(int code, const std::string& text);
  /// Sets the flag and the message; the code keeps whatever value it had.
  void SetErrorMessage(const std::string& text);
  void ClearError();
  /// Takes over another record. A failed record is never turned clean by a clean one: the older
  /// error stays. In every other case the other record's flag, code and message are taken whole.
  void CopyErrorFrom(const IErrorInfoProvider& other);

 private:
  bool hasError = false;
  int errorCode = 0;
  std::string message;
};

}  // namespace wavfreq

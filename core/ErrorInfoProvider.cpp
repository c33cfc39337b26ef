#include "core/ErrorInfoProvider.h"

namespace wavfreq {

void ErrorInfoProvider::SetError(int code, const std::string& text) {
  hasError = true;
  errorCode = code;
  message = text;
}

void ErrorInfoProvider::SetErrorMessage(const std::string& text) {
  hasError = true;
  message = text;
}

void ErrorInfoProvider::ClearError() {
  hasError = false;
  errorCode = 0;
  message.clear();
}

void ErrorInfoProvider::CopyErrorFrom(const IErrorInfoProvider& other) {
  if (hasError && !other.HasError()) {
    return;
  }
  // Read through the interface in flag, code, message order; `other` may be a forwarding class.
  hasError = other.HasError();
  errorCode = other.GetErrorCode();
  message = other.GetErrorMessage();
}

}  // namespace wavfreq

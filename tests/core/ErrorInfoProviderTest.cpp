#include "core/ErrorInfoProvider.h"

#include <gtest/gtest.h>

namespace wavfreq {
namespace {

void ExpectRecord(const IErrorInfoProvider& record, bool failed, int code,
                  const std::string& message) {
  EXPECT_EQ(record.HasError(), failed);
  EXPECT_EQ(record.GetErrorCode(), code);
  EXPECT_EQ(record.GetErrorMessage(), message);
}

TEST(ErrorInfoProviderTest, NewRecordIsClean) {
  ExpectRecord(ErrorInfoProvider(), false, 0, "");
}

TEST(ErrorInfoProviderTest, SetErrorMessageKeepsTheEarlierCode) {
  ErrorInfoProvider record;
  record.SetErrorMessage("first");
  ExpectRecord(record, true, 0, "first");
  record.SetError(13, "Can not open file.");
  record.SetErrorMessage("other text");
  ExpectRecord(record, true, 13, "other text");
  record.ClearError();
  ExpectRecord(record, false, 0, "");
}

TEST(ErrorInfoProviderTest, CopyErrorFromFollowsTheFourCases) {
  ErrorInfoProvider failedOther;
  failedOther.SetError(7, "newer");
  ErrorInfoProvider cleanOther;

  ErrorInfoProvider failed;
  failed.SetError(3, "older");
  failed.CopyErrorFrom(cleanOther);  // a clean record never clears a failed one
  ExpectRecord(failed, true, 3, "older");
  failed.CopyErrorFrom(failedOther);  // the newer error wins
  ExpectRecord(failed, true, 7, "newer");

  ErrorInfoProvider clean;
  clean.CopyErrorFrom(cleanOther);
  ExpectRecord(clean, false, 0, "");
  clean.CopyErrorFrom(failedOther);
  ExpectRecord(clean, true, 7, "newer");
}

}  // namespace
}  // namespace wavfreq

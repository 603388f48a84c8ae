#include "net/multipart.h"

#include <cstdio>
#include <cstring>

#include "net/errors.h"
#include "platform/clock.h"

namespace net {

TIdMultiPartFormDataStream::TIdMultiPartFormDataStream() {
  const platform::LocalDateTime now = platform::Now();
  char digits[32];
  std::snprintf(digits, sizeof digits, "%02d%02d%02d%02d%02d%02d%03d", now.month % 100,
                now.day % 100, now.year % 100, now.hour % 100, now.minute % 100, now.second % 100,
                now.millisecond % 1000);
  FBoundary = std::string("--------") + digits;
}

std::string TIdMultiPartFormDataStream::PartOf(const TIdFormDataField& field) const {
  return "--" + FBoundary + "\r\nContent-Disposition: form-data; name=\"" + field.FieldName +
         "\"\r\n\r\n" + field.Value + "\r\n";
}

void TIdMultiPartFormDataStream::AddField(const std::string& name, const std::string& value) {
  FFields.push_back({name, value});
  FSize += static_cast<int64_t>(PartOf(FFields.back()).size());
}

void TIdMultiPartFormDataStream::Rewind() {
  FStarted = false;
  FPosition = 0;
}

size_t TIdMultiPartFormDataStream::Read(char* buffer, size_t count) {
  if (!FStarted) {
    FStarted = true;
    FNextField = 0;
    FPending.clear();
  }
  size_t delivered = 0;
  while (delivered < count && (!FPending.empty() || FNextField < FFields.size())) {
    if (FPending.empty() && FNextField < FFields.size()) {
      FPending = PartOf(FFields[FNextField]);
      ++FNextField;
      if (FNextField == FFields.size()) {
        FPending += "\r\n--" + FBoundary + "--\r\n";
        ++FNextField;
      }
    }
    const size_t n = std::min(count - delivered, FPending.size());
    std::memcpy(buffer + delivered, FPending.data(), n);
    FPending.erase(0, n);
    delivered += n;
    FPosition += static_cast<int64_t>(n);
  }
  return delivered;
}

size_t TIdMultiPartFormDataStream::Write(const char*, size_t) { throw EIdUnsupportedOperation(); }

}  // namespace net

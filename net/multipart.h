#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace net {

struct TIdFormDataField {
  std::string FieldName;
  std::string Value;
};
using TIdFormDataFields = std::vector<TIdFormDataField>;

// A multipart/form-data body of text fields, read like a read-only stream. Its size is known
// as fields are added; each part is produced only when the reader reaches it.
class TIdMultiPartFormDataStream {
 public:
  // The boundary comes from the local clock.
  TIdMultiPartFormDataStream();

  void AddField(const std::string& name, const std::string& value);
  const std::string& Boundary() const { return FBoundary; }
  std::string FormContentType() const { return "multipart/form-data; boundary=" + FBoundary; }
  const TIdFormDataFields& Fields() const { return FFields; }
  int64_t Size() const { return FSize + ClosingLength(); }
  int64_t Position() const { return FPosition; }

  // The next read starts the body again from its first byte.
  void Rewind();
  // Delivers up to count bytes of the body; 0 once all of it has been delivered.
  size_t Read(char* buffer, size_t count);
  // The body is read-only: always fails with EIdUnsupportedOperation.
  [[noreturn]] size_t Write(const char* buffer, size_t count);

 private:
  int64_t ClosingLength() const { return static_cast<int64_t>(FBoundary.size()) + 8; }
  std::string PartOf(const TIdFormDataField& field) const;

  std::string FBoundary;
  TIdFormDataFields FFields;
  int64_t FSize = 0;
  bool FStarted = false;
  size_t FNextField = 0;
  std::string FPending;
  int64_t FPosition = 0;
};

}  // namespace net

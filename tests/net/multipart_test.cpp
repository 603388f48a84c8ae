#include "net/multipart.h"

#include <gtest/gtest.h>

#include "net/errors.h"
#include "net_fixture.h"

namespace nettest {
namespace {

class MultipartTest : public NetTest {
 protected:
  static std::string ReadAll(net::TIdMultiPartFormDataStream& body, size_t block) {
    std::string all;
    std::string buffer(block, '\0');
    size_t n;
    while ((n = body.Read(buffer.data(), block)) > 0) all.append(buffer.data(), n);
    return all;
  }
};

const std::string kBoundary = "--------030704090500071";

std::string Part(const std::string& name, const std::string& value) {
  return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
         value + "\r\n";
}

TEST_F(MultipartTest, BoundaryFromTheClock) {
  net::TIdMultiPartFormDataStream body;
  EXPECT_EQ(body.Boundary(), kBoundary);
  EXPECT_EQ(body.FormContentType(), "multipart/form-data; boundary=" + kBoundary);
  FMoment = {2007, 3, 5, 9, 4, 2, 71, 1, true, 0};
  EXPECT_EQ(net::TIdMultiPartFormDataStream().Boundary(), "--------030507090402071");
  FMoment.millisecond = 72;
  EXPECT_NE(net::TIdMultiPartFormDataStream().Boundary(), "--------030507090402071");
}

TEST_F(MultipartTest, ExactBytesAndSizeForAnyReadSize) {
  const std::vector<std::pair<std::string, std::string>> fields = {
      {"fname", "Jane"},
      {"empty", ""},
      {"comments", "two\r\nlines"},
      {"quote", "say \"hi\""},
      {"format", "100% %s %d %n"},
      {"high", "caf\xE9 \xFF\x80"},
      {"source", "quillbyapp"},
  };
  std::string expected;
  for (const auto& [name, value] : fields) expected += Part(name, value);
  expected += "\r\n--" + kBoundary + "--\r\n";
  EXPECT_NE(expected.find("name=\"empty\"\r\n\r\n\r\n"), std::string::npos);
  EXPECT_NE(expected.find("quillbyapp\r\n\r\n--" + kBoundary + "--\r\n"), std::string::npos);

  for (size_t block : {size_t{1}, size_t{7}, size_t{72}, size_t{32768}}) {
    SCOPED_TRACE(block);
    net::TIdMultiPartFormDataStream body;
    for (const auto& [name, value] : fields) body.AddField(name, value);
    EXPECT_EQ(body.Size(), static_cast<int64_t>(expected.size()));
    body.Rewind();
    EXPECT_EQ(ReadAll(body, block), expected);
    EXPECT_EQ(body.Position(), body.Size());
    char extra;
    EXPECT_EQ(body.Read(&extra, 1), 0u);
    body.Rewind();
    EXPECT_EQ(body.Position(), 0);
    EXPECT_EQ(ReadAll(body, block), expected);
  }
}

TEST_F(MultipartTest, RewindInTheMiddleStartsAgain) {
  net::TIdMultiPartFormDataStream body;
  body.AddField("a", "1");
  body.AddField("b", "2");
  char buffer[100];
  EXPECT_EQ(body.Read(buffer, 90), 90u);
  FMoment.second = 59;  // the boundary never changes after creation
  body.Rewind();
  EXPECT_EQ(ReadAll(body, 10), Part("a", "1") + Part("b", "2") + "\r\n--" + kBoundary + "--\r\n");
}

TEST_F(MultipartTest, WritingIsRefused) {
  net::TIdMultiPartFormDataStream body;
  try {
    body.Write("x", 1);
    ADD_FAILURE() << "written";
  } catch (const net::EIdUnsupportedOperation& e) {
    EXPECT_EQ(e.Message(), "Unsupported operation.");
  }
}

}  // namespace
}  // namespace nettest

#include "MessageReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "registry_test_support.h"

namespace {

std::string lengthBytes(uint32_t length) { return std::string(reinterpret_cast<const char*>(&length), 4); }
std::string frame(const std::string& body) { return lengthBytes(static_cast<uint32_t>(body.size())) + body; }

// The input as a real stream, read the way the host reads standard input.
class Input {
 public:
  explicit Input(const std::string& bytes) : file_(std::tmpfile()) {
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
    std::rewind(file_);
  }
  ~Input() { std::fclose(file_); }
  std::FILE* get() const { return file_; }

 private:
  std::FILE* file_;
};

TEST(ReadFrame, ReadsBackToBackFramesWithTheirBytesUnchanged) {
  const std::string first = "{\"COMMAND\":\"RESET\"}";
  const std::string second("{\"a\":\"x\x1A\r\ny\0z\"}", 16);
  Input input(frame(first) + frame(second));
  std::string body;
  ASSERT_EQ(readFrame(input.get(), body), FrameResult::Message);
  EXPECT_EQ(body, first);
  ASSERT_EQ(readFrame(input.get(), body), FrameResult::Message);
  EXPECT_EQ(body, second);
  EXPECT_EQ(readFrame(input.get(), body), FrameResult::End);
}

TEST(ReadFrame, EndsOnZeroLengthEmptyInputAndInputCutShort) {
  std::string body;
  EXPECT_EQ(readFrame(Input("").get(), body), FrameResult::End);
  EXPECT_EQ(readFrame(Input(lengthBytes(0) + frame("{}")).get(), body), FrameResult::End);
  EXPECT_EQ(readFrame(Input("\x05\x00").get(), body), FrameResult::End);                  // inside the length
  EXPECT_EQ(readFrame(Input(lengthBytes(10) + "{\"a\"").get(), body), FrameResult::End);  // inside the body
}

TEST(ReadFrame, TopBitLengthCarriesNoBodyAndTheNextLengthFollowsAtOnce) {
  Input input(lengthBytes(0x80000001u) + frame("{}"));
  std::string body = "stale";
  ASSERT_EQ(readFrame(input.get(), body), FrameResult::Message);
  EXPECT_TRUE(body.empty());
  ASSERT_EQ(readFrame(input.get(), body), FrameResult::Message);
  EXPECT_EQ(body, "{}");
}

TEST(ReadFrame, MemoryFollowsTheBytesReceivedNotTheAnnouncedLength) {
  Input input(lengthBytes(0x7FFFFFFFu) + std::string(1000, 'x'));
  std::string body;
  EXPECT_EQ(readFrame(input.get(), body), FrameResult::End);
  EXPECT_LT(body.capacity(), 1u << 20);
}

TEST(ReadFrame, ABodyOver1MiBIsReadPastDroppedAndLoggedOnce) {
  orv_test::ScratchRegistry registry;
  orv_test::CapturedLog log;
  const std::string atLimit(kMaxMessageBytes, ' ');
  const std::string over(kMaxMessageBytes + 1, ' ');
  Input input(frame(atLimit) + frame(over) + frame("{}"));
  std::string body;
  ASSERT_EQ(readFrame(input.get(), body), FrameResult::Message);
  EXPECT_EQ(body.size(), kMaxMessageBytes) << "exactly 1 MiB is still a message";
  EXPECT_EQ(readFrame(input.get(), body), FrameResult::Skipped);
  EXPECT_TRUE(body.empty());
  ASSERT_EQ(readFrame(input.get(), body), FrameResult::Message);
  EXPECT_EQ(body, "{}");
  EXPECT_EQ(log.linesWith({"limit of 1 MiB", "MessageReaderThread", "0x00100001"}).size(), 1u) << log.all();
}

TEST(ReadFrame, AnOversizedBodyCutShortEndsTheLoopWithoutARecord) {
  orv_test::ScratchRegistry registry;
  orv_test::CapturedLog log;
  std::string body;
  EXPECT_EQ(readFrame(Input(lengthBytes(kMaxMessageBytes + 10) + "[[],[]").get(), body), FrameResult::End);
  EXPECT_TRUE(log.linesWith({"limit of 1 MiB"}).empty()) << log.all();
}

}  // namespace

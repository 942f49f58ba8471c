#include "ChromeNativeMessageHandle.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdint>
#include <string>

#include "registry_test_support.h"
#include "stdout_capture.h"

namespace {

std::string sent(const std::string& json) {
  CChromeNativeMessageHandle handler;
  StdoutCapture capture;
  EXPECT_FALSE(handler.SendMessageToChromeExtension(json));
  return capture.bytes();
}

std::string framed(const std::string& body) {
  const uint32_t length = static_cast<uint32_t>(body.size());
  return std::string(reinterpret_cast<const char*>(&length), 4) + body;
}

TEST(SendMessageToChromeExtension, WritesTheOutermostBracesWithTheirByteCount) {
  EXPECT_EQ(sent("{\"COMMAND\":\"LOAD_BROWSER_RECORD\"}\n"), framed("{\"COMMAND\":\"LOAD_BROWSER_RECORD\"}"));
  EXPECT_EQ(sent("junk {\"a\":{\"b\":1}} tail"), framed("{\"a\":{\"b\":1}}"));
  // The length counts UTF-8 bytes, not characters.
  EXPECT_EQ(sent("{\"URL\":\"\xC3\xA9\"}"), framed("{\"URL\":\"\xC3\xA9\"}"));
}

TEST(SendMessageToChromeExtension, WritesNothingWithoutBraces) {
  EXPECT_EQ(sent("no object here\n"), "");
  EXPECT_EQ(sent("} {"), "");
  EXPECT_EQ(sent(""), "");
}

TEST(ReadString, ReadsStringsNullAndBooleansAndRefusesTheRest) {
  std::string out = "unchanged";
  EXPECT_TRUE(CChromeNativeMessageHandle::readString(Json::Value("RESET"), out));
  EXPECT_EQ(out, "RESET");
  EXPECT_TRUE(CChromeNativeMessageHandle::readString(Json::Value(), out));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(CChromeNativeMessageHandle::readString(Json::Value(true), out));
  EXPECT_EQ(out, "true");
  EXPECT_TRUE(CChromeNativeMessageHandle::readString(Json::Value(false), out));
  EXPECT_EQ(out, "false");
  EXPECT_FALSE(CChromeNativeMessageHandle::readString(Json::Value(12), out));
  EXPECT_FALSE(CChromeNativeMessageHandle::readString(Json::Value(1.5), out));
  EXPECT_FALSE(CChromeNativeMessageHandle::readString(Json::Value(Json::arrayValue), out));
  EXPECT_FALSE(CChromeNativeMessageHandle::readString(Json::Value(Json::objectValue), out));
}

TEST(HandleMessage, DispatchesOnlyTheExactCommandOfAnObjectOrNullRoot) {
  CChromeNativeMessageHandle handler;
  StdoutCapture capture;
  EXPECT_TRUE(handler.HandleMessage("{\"COMMAND\":\"RESET\"}"));
  EXPECT_TRUE(handler.HandleMessage("{\"COMMAND\":\"RESET\"} trailing"));  // the reader stops at the root
  EXPECT_FALSE(handler.HandleMessage("{\"COMMAND\":\"reset\"}"));
  EXPECT_FALSE(handler.HandleMessage("[\"RESET\"]"));
  EXPECT_FALSE(handler.HandleMessage("null"));
  EXPECT_FALSE(handler.HandleMessage("{\"COMMAND\":true}"));
  EXPECT_FALSE(handler.HandleMessage("{\"COMMAND\":7}"));
  EXPECT_FALSE(handler.HandleMessage("{\"COMMAND\":[\"RESET\"]}"));
  EXPECT_FALSE(handler.HandleMessage("{\"COMMAND\":{\"RESET\":1}}"));
  EXPECT_FALSE(handler.HandleMessage("{\"COMMAND\":\"RESET\""));
  EXPECT_FALSE(handler.HandleMessage(""));
  EXPECT_FALSE(handler.HandleMessage(std::string(100000, '[') + std::string(100000, ']')));
  // Without an interface module the record commands end at once.
  EXPECT_FALSE(handler.HandleMessage("{\"COMMAND\":\"LOAD_BROWSER_RECORD\",\"SITE_URL\":\"https://a.example/\"}"));
  EXPECT_FALSE(handler.HandleMessage("{\"COMMAND\":\"CREATE_BROWSER_RECORD\",\"PW_FIELDS\":[\"p\"]}"));
  EXPECT_EQ(capture.bytes(), "");
}

std::string resetWithPadding(size_t numbers) {
  std::string padding = "[0";
  for (size_t i = 1; i < numbers; ++i) padding += ",0";
  return R"({"COMMAND":"RESET","PADDING":)" + padding + "]}";
}

// Every value costs the parser memory; a message with more of them than a
// form can need is dropped before it is parsed, with one log record.
TEST(HandleMessage, DropsMessagesOverTheJsonBudgetWithARecord) {
  orv_test::ScratchRegistry registry;
  orv_test::CapturedLog log;
  CChromeNativeMessageHandle handler;
  const size_t values = CChromeNativeMessageHandle::kMessageBudget.ulMaxValues;
  EXPECT_TRUE(handler.HandleMessage(resetWithPadding(values - 5)));  // object, two names, command, array
  EXPECT_TRUE(log.linesWith({"deeper nesting"}).empty()) << log.all();
  EXPECT_FALSE(handler.HandleMessage(resetWithPadding(values - 4)));
  const size_t depth = CChromeNativeMessageHandle::kMessageBudget.ulMaxDepth;
  EXPECT_TRUE(handler.HandleMessage(R"({"COMMAND":"RESET","X":)" + std::string(depth - 1, '[') +
                                    std::string(depth - 1, ']') + "}"));
  EXPECT_FALSE(
      handler.HandleMessage(R"({"COMMAND":"RESET","X":)" + std::string(depth, '[') + std::string(depth, ']') + "}"));
  EXPECT_EQ(log.linesWith({"more JSON values or deeper nesting", "HandleMessage"}).size(), 2u) << log.all();
}

}  // namespace

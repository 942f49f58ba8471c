#include "record_store.h"

#include <json/json.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "orv_platform/user_file.h"
#include "orv_win32.h"

namespace {

enum class ReadResult { Read, Missing, Failed };

// The whole file into `root`: Missing when there is no file yet.
ReadResult readStore(const std::string& path, Json::Value& root) {
  std::error_code error;
  const std::filesystem::path file = std::filesystem::u8path(path);
  if (!std::filesystem::exists(file, error)) return error ? ReadResult::Failed : ReadResult::Missing;
  const auto size = std::filesystem::file_size(file, error);
  if (error || size > RecordStore::kMaxFileBytes) return ReadResult::Failed;
  std::ifstream in(file, std::ios::binary);
  if (!in) return ReadResult::Failed;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (size != 0 && !in.read(bytes.data(), static_cast<std::streamsize>(size))) return ReadResult::Failed;
  if (bytes.empty()) {  // made by a process that stopped before writing
    root = Json::Value(Json::objectValue);
    return ReadResult::Read;
  }
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string problems;
  if (!reader->parse(bytes.data(), bytes.data() + bytes.size(), &root, &problems) || !root.isObject())
    return ReadResult::Failed;
  return ReadResult::Read;
}

std::vector<std::string> stringsOf(const Json::Value& array) {
  std::vector<std::string> strings;
  if (!array.isArray()) return strings;
  for (const Json::Value& element : array)
    if (element.isString()) strings.push_back(element.asString());
  return strings;
}

Json::Value arrayOf(const std::vector<std::string>& strings) {
  Json::Value array(Json::arrayValue);
  for (const std::string& text : strings) array.append(text);
  return array;
}

std::string environmentFolder() {
  WCHAR value[4096];
  const DWORD length = GetEnvironmentVariableW(ORV_W("ORVPWM_RECORDS_DIR"), value, 4096);
  if (length == 0 || length >= 4096) return std::string();
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, value, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string folder(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, value, static_cast<int>(length), folder.data(), bytes, nullptr, nullptr);
  return folder;
}

}  // namespace

RecordStore::RecordStore(const std::string& folder)
    : folder_(folder),
      file_((std::filesystem::u8path(folder) / "records.json").u8string()),
      lock_((std::filesystem::u8path(folder) / "records.lock").u8string()) {}

std::string RecordStore::defaultFolder() {
  const std::string configured = environmentFolder();
  if (!configured.empty()) return configured;
  const std::string data = orv_platform::userDataFolder();
  if (data.empty()) return std::string();
  return (std::filesystem::u8path(data) / "Halvik" / "Password Manager").u8string();
}

bool RecordStore::find(const std::string& origin, StoredRecord& record) const {
  if (folder_.empty()) return false;
  const std::unique_ptr<orv_platform::FileLock> lock = orv_platform::FileLock::acquire(lock_);
  if (!lock) return false;
  Json::Value root;
  if (readStore(file_, root) != ReadResult::Read) return false;
  const Json::Value& records = root["records"];
  if (!records.isObject() || !records.isMember(origin)) return false;
  const Json::Value& found = records[origin];
  if (!found.isObject()) return false;
  record.identity = found["identity"].isString() ? found["identity"].asString() : origin;
  record.title = found["title"].isString() ? found["title"].asString() : std::string();
  record.autoSubmit = !found["autoSubmit"].isBool() || found["autoSubmit"].asBool();
  record.pwFields = stringsOf(found["pwFields"]);
  record.pwValues = stringsOf(found["pwValues"]);
  record.textFields = stringsOf(found["textFields"]);
  record.textValues = stringsOf(found["textValues"]);
  return true;
}

bool RecordStore::store(const std::string& origin, const StoredRecord& record) const {
  if (folder_.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::u8path(folder_), error);
  if (error) return false;
  const std::unique_ptr<orv_platform::FileLock> lock = orv_platform::FileLock::acquire(lock_);
  if (!lock) return false;
  Json::Value root(Json::objectValue);
  if (readStore(file_, root) == ReadResult::Failed) return false;
  Json::Value& records = root["records"];
  if (!records.isObject()) records = Json::Value(Json::objectValue);
  Json::Value previous = records.get(origin, Json::Value());
  if (!previous.isObject()) previous = Json::Value(Json::objectValue);

  Json::Value entry(Json::objectValue);
  entry["identity"] = previous["identity"].isString() ? previous["identity"].asString() : record.identity;
  entry["title"] = record.title;
  entry["autoSubmit"] = previous["autoSubmit"].isBool() ? previous["autoSubmit"].asBool() : record.autoSubmit;
  entry["pwFields"] = arrayOf(record.pwFields);
  entry["pwValues"] = arrayOf(record.pwValues);
  entry["textFields"] = arrayOf(record.textFields);
  entry["textValues"] = arrayOf(record.textValues);
  records[origin] = entry;

  Json::StreamWriterBuilder builder;
  builder["indentation"] = " ";
  builder["emitUTF8"] = true;
  const std::string text = Json::writeString(builder, root) + "\n";
  if (text.size() > kMaxFileBytes) return false;
  return orv_platform::replaceFile(file_, text);
}

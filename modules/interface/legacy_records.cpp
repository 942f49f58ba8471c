#include "legacy_records.h"

#include <json/json.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace {

std::vector<std::string> stringsOf(const Json::Value& array) {
  std::vector<std::string> strings;
  if (!array.isArray()) return strings;
  for (const Json::Value& element : array)
    if (element.isString()) strings.push_back(element.asString());
  return strings;
}

}  // namespace

bool LegacyRecords::read(const std::string& path, std::vector<std::pair<std::string, StoredRecord>>& records,
                         std::string& problem) {
  std::error_code error;
  const std::filesystem::path file = std::filesystem::u8path(path);
  const auto size = std::filesystem::file_size(file, error);
  if (error || size > kMaxFileBytes) {
    problem = path + ": cannot be read or is larger than 64 MiB";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in || (size != 0 && !in.read(bytes.data(), static_cast<std::streamsize>(size)))) {
    problem = path + ": cannot be read";
    return false;
  }
  if (bytes.empty()) return true;  // made by a process that stopped before writing
  Json::Value root;
  Json::CharReaderBuilder builder;
  builder["collectComments"] = false;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  if (!reader->parse(bytes.data(), bytes.data() + bytes.size(), &root, &errors) || !root.isObject()) {
    problem = path + ": is not a records file (" + errors.substr(0, 200) + ")";
    return false;
  }
  const Json::Value& stored = root["records"];
  if (!stored.isObject()) return true;
  for (auto entry = stored.begin(); entry != stored.end(); ++entry) {
    const Json::Value& found = *entry;
    if (!found.isObject()) continue;
    const std::string origin = entry.name();
    StoredRecord record;
    record.identity = found["identity"].isString() ? found["identity"].asString() : origin;
    record.title = found["title"].isString() ? found["title"].asString() : std::string();
    record.autoSubmit = !found["autoSubmit"].isBool() || found["autoSubmit"].asBool();
    record.pwFields = stringsOf(found["pwFields"]);
    record.pwValues = stringsOf(found["pwValues"]);
    record.textFields = stringsOf(found["textFields"]);
    record.textValues = stringsOf(found["textValues"]);
    records.emplace_back(origin, std::move(record));
  }
  return true;
}

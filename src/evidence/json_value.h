#pragma once

// A small JSON reader for the package descriptions this project writes
// (manifest.json): objects, arrays, strings, numbers, true, false, null.
// Bad input gives false and a reason, never a crash; nesting is bounded.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace evidence {

struct JsonValue {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;              // kArray
  std::map<std::string, JsonValue> members;  // kObject

  // The member `name`, or a null value when absent or not an object.
  const JsonValue& operator[](const std::string& name) const;
  int64_t Integer() const { return int64_t(number); }
};

bool ParseJson(const std::string& text, JsonValue& value, std::string& error);

}  // namespace evidence

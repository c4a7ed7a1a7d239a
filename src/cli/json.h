#pragma once
// A small JSON reader and writer for the data tool. Strings are UTF-8; a byte that the program
// kept from an undecodable file (a lone surrogate inside) is written as a \udcXX escape and read
// back into the same form, so dump and restore carry such bytes through unchanged. A text that is
// not UTF-8, or an escaped lone surrogate that stands for no such byte, is malformed: it could not
// be stored as it reads.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace jihe::cli {

struct Json;
using JsonArray = std::vector<Json>;
using JsonObject = std::vector<std::pair<std::string, Json>>;  // keeps the written order

struct Json {
  std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<JsonArray>, std::shared_ptr<JsonObject>>
      value = nullptr;

  bool IsNull() const { return std::holds_alternative<std::nullptr_t>(value); }
  const bool* AsBool() const { return std::get_if<bool>(&value); }
  const double* AsNumber() const { return std::get_if<double>(&value); }
  const std::string* AsString() const { return std::get_if<std::string>(&value); }
  const JsonArray* AsArray() const {
    auto p = std::get_if<std::shared_ptr<JsonArray>>(&value);
    return p ? p->get() : nullptr;
  }
  const JsonObject* AsObject() const {
    auto p = std::get_if<std::shared_ptr<JsonObject>>(&value);
    return p ? p->get() : nullptr;
  }
  const Json* Find(std::string_view key) const;
};

struct JsonError {
  size_t offset = 0;
  std::string message;
};

// Parses one JSON document; trailing content other than blanks is an error.
std::variant<Json, JsonError> ParseJson(std::string_view text);

// Appends the JSON form of a UTF-8 string, quotes included.
void AppendJsonString(std::string& out, std::string_view utf8);

}  // namespace jihe::cli

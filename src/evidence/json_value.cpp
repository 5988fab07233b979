#include "evidence/json_value.h"

#include <cstdlib>

namespace evidence {

const JsonValue& JsonValue::operator[](const std::string& name) const {
  static const JsonValue kNull;
  const auto it = members.find(name);
  return type == Type::kObject && it != members.end() ? it->second : kNull;
}

namespace {

constexpr int kMaxDepth = 64;

class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}

  bool Document(JsonValue& value, std::string& error) {
    if (!Value(value, 0) || (Space(), pos_ != s_.size())) {
      error = (error_.empty() ? std::string("unexpected text") : error_) + " at byte " + std::to_string(pos_);
      return false;
    }
    return true;
  }

 private:
  bool Fail(const char* reason) {
    if (error_.empty()) error_ = reason;
    return false;
  }
  void Space() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t'))
      ++pos_;
  }
  bool Literal(const char* word) {
    const std::string w(word);
    if (s_.compare(pos_, w.size(), w) != 0) return Fail("unknown word");
    pos_ += w.size();
    return true;
  }

  bool Value(JsonValue& v, int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    Space();
    if (pos_ >= s_.size()) return Fail("unexpected end");
    const char c = s_[pos_];
    if (c == '{') return Object(v, depth);
    if (c == '[') return Array(v, depth);
    if (c == '"') return v.type = JsonValue::Type::kString, String(v.text);
    if (c == 't') return v.type = JsonValue::Type::kBool, v.boolean = true, Literal("true");
    if (c == 'f') return v.type = JsonValue::Type::kBool, Literal("false");
    if (c == 'n') return Literal("null");
    return Number(v);
  }

  bool Number(JsonValue& v) {
    const char* begin = s_.c_str() + pos_;
    char* end = nullptr;
    v.number = std::strtod(begin, &end);
    if (end == begin) return Fail("not a value");
    v.type = JsonValue::Type::kNumber;
    pos_ += std::size_t(end - begin);
    return true;
  }

  bool Hex4(unsigned& code) {
    if (pos_ + 4 > s_.size()) return Fail("short \\u escape");
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = s_[pos_++];
      code = code * 16 + unsigned(h >= '0' && h <= '9'   ? h - '0'
                                  : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                  : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                         : 99);
      if (code >= 0x10000) return Fail("bad \\u escape");
    }
    return true;
  }

  static void Utf8(unsigned code, std::string& out) {
    if (code < 0x80) {
      out += char(code);
    } else if (code < 0x800) {
      out += char(0xC0 | code >> 6), out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += char(0xE0 | code >> 12), out += char(0x80 | ((code >> 6) & 0x3F)),
          out += char(0x80 | (code & 0x3F));
    } else {
      out += char(0xF0 | code >> 18), out += char(0x80 | ((code >> 12) & 0x3F));
      out += char(0x80 | ((code >> 6) & 0x3F)), out += char(0x80 | (code & 0x3F));
    }
  }

  bool String(std::string& out) {
    ++pos_;  // the opening quote
    out.clear();
    while (pos_ < s_.size()) {
      const char c = s_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= s_.size()) break;
      const char e = s_[pos_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned code = 0;
          if (!Hex4(code)) return false;
          if (code >= 0xD800 && code < 0xDC00 && s_.compare(pos_, 2, "\\u") == 0) {
            pos_ += 2;
            unsigned low = 0;
            if (!Hex4(low) || low < 0xDC00 || low > 0xDFFF) return Fail("bad surrogate pair");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          Utf8(code, out);
          break;
        }
        default:
          return Fail("bad escape");
      }
    }
    return Fail("unterminated string");
  }

  bool Array(JsonValue& v, int depth) {
    v.type = JsonValue::Type::kArray;
    ++pos_;
    Space();
    if (pos_ < s_.size() && s_[pos_] == ']') return ++pos_, true;
    while (true) {
      v.items.emplace_back();
      if (!Value(v.items.back(), depth + 1)) return false;
      Space();
      if (pos_ < s_.size() && s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < s_.size() && s_[pos_] == ']') return ++pos_, true;
      return Fail("expected , or ]");
    }
  }

  bool Object(JsonValue& v, int depth) {
    v.type = JsonValue::Type::kObject;
    ++pos_;
    Space();
    if (pos_ < s_.size() && s_[pos_] == '}') return ++pos_, true;
    while (true) {
      Space();
      std::string name;
      if (pos_ >= s_.size() || s_[pos_] != '"') return Fail("expected a member name");
      if (!String(name)) return false;
      Space();
      if (pos_ >= s_.size() || s_[pos_] != ':') return Fail("expected :");
      ++pos_;
      if (!Value(v.members[name], depth + 1)) return false;
      Space();
      if (pos_ < s_.size() && s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < s_.size() && s_[pos_] == '}') return ++pos_, true;
      return Fail("expected , or }");
    }
  }

  const std::string& s_;
  std::size_t pos_ = 0;
  std::string error_;
};

}  // namespace

bool ParseJson(const std::string& text, JsonValue& value, std::string& error) {
  value = JsonValue();
  return Parser(text).Document(value, error);
}

}  // namespace evidence

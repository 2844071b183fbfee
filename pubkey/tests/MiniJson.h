#pragma once
// Just enough JSON to read the known-answer files: objects, arrays, strings (with the common escapes),
// numbers and literals. A malformed file throws std::runtime_error.

#include <cctype>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvane::testing {

struct Json {
  std::string scalar;  // string contents, or the number / literal as written
  std::vector<Json> items;
  std::map<std::string, Json> fields;

  const Json& operator[](const std::string& key) const {
    auto it = fields.find(key);
    if (it == fields.end()) throw std::runtime_error("missing field " + key);
    return it->second;
  }
  int Int() const { return std::stoi(scalar); }
};

class JsonReader {
 public:
  explicit JsonReader(std::string text) : text_(std::move(text)) {}

  Json Parse() {
    Json value = Value();
    Skip();
    if (at_ != text_.size()) Fail();
    return value;
  }

 private:
  [[noreturn]] void Fail() { throw std::runtime_error("bad JSON at offset " + std::to_string(at_)); }
  void Skip() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
  }
  char Peek() {
    Skip();
    if (at_ >= text_.size()) Fail();
    return text_[at_];
  }
  void Expect(char c) {
    if (Peek() != c) Fail();
    ++at_;
  }

  Json Value() {
    Json value;
    const char c = Peek();
    if (c == '{') {
      ++at_;
      if (Peek() == '}') return ++at_, value;
      do {
        std::string key = String();
        Expect(':');
        value.fields.emplace(std::move(key), Value());
      } while (Peek() == ',' && ++at_);
      Expect('}');
    } else if (c == '[') {
      ++at_;
      if (Peek() == ']') return ++at_, value;
      do value.items.push_back(Value());
      while (Peek() == ',' && ++at_);
      Expect(']');
    } else if (c == '"') {
      value.scalar = String();
    } else {
      while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) ||
                                    text_[at_] == '-' || text_[at_] == '+' || text_[at_] == '.'))
        value.scalar += text_[at_++];
      if (value.scalar.empty()) Fail();
    }
    return value;
  }

  std::string String() {
    Expect('"');
    std::string out;
    while (at_ < text_.size() && text_[at_] != '"') {
      char c = text_[at_++];
      if (c == '\\') {
        if (at_ >= text_.size()) Fail();
        c = text_[at_++];
        if (c == 'n')
          c = '\n';
        else if (c == 't')
          c = '\t';
        else if (c == 'r')
          c = '\r';
        else if (c == 'u')
          Fail();  // not used by our files
      }
      out += c;
    }
    Expect('"');
    return out;
  }

  std::string text_;
  std::size_t at_ = 0;
};

inline Json ReadJsonFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return JsonReader(buffer.str()).Parse();
}

}  // namespace corvane::testing

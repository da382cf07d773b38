#include "backitem/comma_text.h"

namespace tarnwick {
namespace {

// Spaces and control characters (a NUL ends the text before this is asked).
bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

bool NeedsQuotes(std::string_view element) {
  for (char c : element) {
    if (IsBlank(c) || c == '"' || c == ',') return true;
  }
  return false;
}

}  // namespace

std::string JoinCommaText(const std::vector<std::string>& elements) {
  if (elements.size() == 1 && elements[0].empty()) return "\"\"";
  std::string text;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (i > 0) text += ',';
    const std::string& element = elements[i];
    if (!NeedsQuotes(element)) {
      text += element;
      continue;
    }
    text += '"';
    for (char c : element) {
      if (c == '"') text += '"';
      text += c;
    }
    text += '"';
  }
  return text;
}

std::vector<std::string> SplitCommaText(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> elements;
  std::size_t i = 0, n = text.size();
  auto skipBlanks = [&] {
    while (i < n && IsBlank(text[i])) ++i;
  };
  skipBlanks();
  while (i < n) {
    std::string element;
    if (text[i] == '"') {
      // Runs to the closing quote, or to the end when there is none.
      for (++i; i < n; ++i) {
        if (text[i] != '"') {
          element += text[i];
        } else if (i + 1 < n && text[i + 1] == '"') {
          element += '"';
          ++i;
        } else {
          ++i;
          break;
        }
      }
    } else {
      std::size_t start = i;
      while (i < n && !IsBlank(text[i]) && text[i] != ',') ++i;
      element.assign(text.substr(start, i - start));
    }
    elements.push_back(std::move(element));
    skipBlanks();
    if (i < n && text[i] == ',') {
      if (i + 1 == n) elements.emplace_back();  // a comma at the very end
      ++i;
      skipBlanks();
    }
  }
  return elements;
}

}  // namespace tarnwick

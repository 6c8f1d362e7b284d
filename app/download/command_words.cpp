#include "app/download/command_words.h"

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// Escapes a backslash makes inside double quotes; before any other character it stays itself.
bool escapable_in_double_quotes(char c) {
  return c == '$' || c == '`' || c == '"' || c == '\\' || c == '\n';
}

class WordSplitter {
 public:
  explicit WordSplitter(std::string_view line) : line_(line) {}

  std::optional<std::vector<std::string>> split() {
    while (at_ < line_.size()) {
      const char c = line_[at_++];
      if (is_blank(c)) {
        end_word();
      } else if (!take(c)) {
        return std::nullopt;
      }
    }
    end_word();
    return std::move(words_);
  }

 private:
  // Adds what `c` starts to the word; false when the line ends inside it.
  bool take(char c) {
    if (c == '\\' && at_ < line_.size() && line_[at_] == '\n') {  // a continued line
      ++at_;
      return true;
    }
    in_word_ = true;
    if (c == '\'') return take_single_quoted();
    if (c == '"') return take_double_quoted();
    if (c == '\\') return take_escaped();
    word_ += c;
    return true;
  }

  bool take_single_quoted() {
    const std::size_t close = line_.find('\'', at_);
    if (close == std::string_view::npos) return false;
    word_ += line_.substr(at_, close - at_);
    at_ = close + 1;
    return true;
  }

  bool take_double_quoted() {
    while (at_ < line_.size()) {
      const char c = line_[at_++];
      if (c == '"') return true;
      if (c == '\\' && at_ < line_.size() && escapable_in_double_quotes(line_[at_])) {
        if (line_[at_] != '\n') word_ += line_[at_];
        ++at_;
      } else {
        word_ += c;
      }
    }
    return false;
  }

  bool take_escaped() {
    if (at_ == line_.size()) return false;
    word_ += line_[at_++];
    return true;
  }

  void end_word() {
    if (in_word_) words_.push_back(std::move(word_));
    word_.clear();
    in_word_ = false;
  }

  std::string_view line_;
  std::size_t at_ = 0;
  std::vector<std::string> words_;
  std::string word_;
  bool in_word_ = false;  // a word was started, even an empty one ('' or "")
};

}  // namespace

std::optional<std::vector<std::string>> command_words(std::string_view line) {
  return WordSplitter(line).split();
}

#include "platform/winhttp/request_headers.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/base/ascii.h"
#include "platform/winhttp/winhttp.h"

namespace {

constexpr DWORD kCoalesce = 0x40000000;
constexpr DWORD kCoalesceWithSemicolon = 0x01000000;

bool is_token_character(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) ||
         std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool is_token(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), is_token_character);
}

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

DWORD RequestHeaders::apply(std::string_view lines, DWORD modifiers) {
  if (modifiers & (kCoalesce | kCoalesceWithSemicolon)) return ERROR_NOT_SUPPORTED;
  while (!lines.empty()) {
    const std::size_t end = std::min(lines.find_first_of("\r\n"), lines.size());
    const std::string_view line = lines.substr(0, end);
    lines.remove_prefix(end);
    while (!lines.empty() && (lines.front() == '\r' || lines.front() == '\n'))
      lines.remove_prefix(1);
    if (trim_blanks(line).empty()) continue;
    if (const DWORD error = apply_line(line, modifiers)) return error;
  }
  return ERROR_SUCCESS;
}

DWORD RequestHeaders::apply_line(std::string_view line, DWORD modifiers) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return ERROR_WINHTTP_INVALID_HEADER;
  const std::string_view name = trim_blanks(line.substr(0, colon));
  const std::string_view value = trim_blanks(line.substr(colon + 1));
  if (!is_token(name) || value.find('\0') != std::string_view::npos)
    return ERROR_WINHTTP_INVALID_HEADER;

  const auto existing = find(name);
  const bool exists = existing != headers_.end();
  if (modifiers & WINHTTP_ADDREQ_FLAG_ADD_IF_NEW) {
    if (exists) return ERROR_WINHTTP_HEADER_ALREADY_EXISTS;
  } else if (modifiers & WINHTTP_ADDREQ_FLAG_REPLACE) {
    if (exists) {
      if (value.empty())
        headers_.erase(existing);
      else
        existing->value = value;
      return ERROR_SUCCESS;
    }
    if (!(modifiers & WINHTTP_ADDREQ_FLAG_ADD)) return ERROR_WINHTTP_HEADER_NOT_FOUND;
    if (value.empty()) return ERROR_SUCCESS;
  }
  headers_.push_back({std::string(name), std::string(value)});
  return ERROR_SUCCESS;
}

bool RequestHeaders::contains(std::string_view name) const {
  return std::any_of(headers_.begin(), headers_.end(), [&](const Header& header) {
    return ascii_equal_ignoring_case(header.name, name);
  });
}

std::vector<RequestHeaders::Header>::iterator RequestHeaders::find(std::string_view name) {
  return std::find_if(headers_.begin(), headers_.end(), [&](const Header& header) {
    return ascii_equal_ignoring_case(header.name, name);
  });
}

std::vector<std::string> RequestHeaders::curl_lines() const {
  std::vector<std::string> lines;
  lines.reserve(headers_.size());
  for (const Header& header : headers_)
    lines.push_back(header.value.empty() ? header.name + ";" : header.name + ": " + header.value);
  return lines;
}

// The header lines a request will send, with the platform's add and replace rules.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/base/types.h"

class RequestHeaders {
 public:
  // Applies each line of `lines` ("name: value", separated by CR LF or LF; empty lines skipped,
  // names and values trimmed of blanks) with the WINHTTP_ADDREQ_FLAG_* `modifiers`, in order.
  // ERROR_SUCCESS, or the error of the first line that fails (the lines before it stay applied).
  [[nodiscard]] DWORD apply(std::string_view lines, DWORD modifiers);

  // True when a line named `name` (any letter case) is present.
  [[nodiscard]] bool contains(std::string_view name) const;

  // The lines as libcurl takes them: "Name: value", or "Name;" for an empty value.
  [[nodiscard]] std::vector<std::string> curl_lines() const;

 private:
  struct Header {
    std::string name;
    std::string value;
  };

  [[nodiscard]] DWORD apply_line(std::string_view line, DWORD modifiers);
  [[nodiscard]] std::vector<Header>::iterator find(std::string_view name);

  std::vector<Header> headers_;
};

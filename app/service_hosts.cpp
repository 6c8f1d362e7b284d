#include "app/service_hosts.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

#include "app/build_constants.h"
#include "platform/base/ascii.h"

namespace {

std::optional<ServiceHosts>& chosen_hosts() {
  static std::optional<ServiceHosts> hosts;
  return hosts;
}

bool is_name_character(char c) {
  return is_ascii_alphanumeric(c) || c == '.' || c == '-' || c == '_';
}

bool is_address_character(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
         c == '.';
}

bool is_host(std::string_view host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    return std::all_of(host.begin() + 1, host.end() - 1, is_address_character);
  }
  return !host.empty() && std::all_of(host.begin(), host.end(), is_name_character);
}

bool is_port(std::string_view port) {
  if (port.empty() || port.size() > 5) return false;
  unsigned number = 0;
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
  return error == std::errc{} && end == port.data() + port.size() && number >= 1 && number <= 65535;
}

}  // namespace

const ServiceHosts& service_hosts() {
  static const ServiceHosts built{std::string(kSearchHost), std::string(kPlayInfoHost)};
  return chosen_hosts() ? *chosen_hosts() : built;
}

void use_service_hosts(ServiceHosts hosts) {
  chosen_hosts() = std::move(hosts);
}

bool is_host_and_port(std::string_view value) {
  const std::size_t bracket = value.rfind(']');
  const std::size_t colon = value.rfind(':');
  const bool has_port =
      colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket);
  if (!has_port) return is_host(value);
  return is_host(value.substr(0, colon)) && is_port(value.substr(colon + 1));
}

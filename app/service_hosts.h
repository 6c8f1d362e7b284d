// The two hosts of the music service that a run of the program talks to: the ones fixed at build
// time unless the command line or the environment chose others before the first search.
#pragma once

#include <string>
#include <string_view>

struct ServiceHosts {
  std::string search;     // host of the song search, "host" or "host:port"
  std::string play_info;  // host of the play information, likewise
};

// The hosts searches use: those given to use_service_hosts, else the build's constants.
[[nodiscard]] const ServiceHosts& service_hosts();

// Makes `hosts` the ones every later search uses. Each must satisfy is_host_and_port.
void use_service_hosts(ServiceHosts hosts);

// Whether `value` is a host the program may put after "http://": a name or IPv4 address of
// letters, digits, ".", "-" and "_", or an IPv6 address in brackets, then optionally ":" and a
// port from 1 to 65535. Refuses the empty text, spaces, a scheme, a path, a query or user info.
//   is_host_and_port("127.0.0.1:8080") -> true;  is_host_and_port("http://a") -> false
[[nodiscard]] bool is_host_and_port(std::string_view value);

// Which texts name a service host: the command line and the environment are checked against it.
#include <gtest/gtest.h>

#include "app/service_hosts.h"

namespace {

TEST(ServiceHostsTest, AHostIsANameOrAddressWithAnOptionalPortFromOneTo65535) {
  for (const char* host :
       {"a", "music.example", "127.0.0.1:8080", "h_1-x:1", "[::1]", "[::1]:65535"})
    EXPECT_TRUE(is_host_and_port(host)) << host;
  for (const char* host : {"", " ", "a b", "http://a", "a/b", "a?b", "u@a", "a:", "a:0", "a:65536",
                           "a:99999999", "a:+1", ":80", "[]", "[::1", "a:b:c", "a\n"})
    EXPECT_FALSE(is_host_and_port(host)) << host;
}

}  // namespace

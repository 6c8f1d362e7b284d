// Which play addresses the program fetches or hands to a player: http:// and https:// addresses
// (the scheme in any letter case) with a host and without credentials. Anything else from the
// service (another scheme, a local path, a text that a player would read as an option) is
// refused before any request is made or any program started.
#pragma once

#include <string>
#include <string_view>

// Why `url` is refused, as a phrase to follow "the play address " in a message; empty when the
// address may be used.
//   address_refusal("http://h/a.mp3")     -> ""
//   address_refusal("file:///etc/passwd") -> "is not an http:// or https:// address"
[[nodiscard]] std::string address_refusal(std::string_view url);

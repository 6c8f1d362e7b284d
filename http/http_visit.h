// http_visit: one complete HTTP or HTTPS request over the WinHTTP client, handing back the
// answer's body as a Text.
//
// Besides the address it takes a request method, a body, cookies to send, extra request headers,
// server and proxy Basic credentials, a proxy, one time-out and redirect control; it reports the
// status text, the raw response headers, the cookies the server set, the redirect address and the
// raw body bytes through the caller's variables. It adds the default request headers (a browser's
// User-Agent, Accept, Accept-Encoding, Accept-Language, Cache-Control, and for POST a form
// Content-Type), merges cookies, and decodes again an HTML body whose meta tag declares a charset
// other than GBK. An answer is HTML by its Content-Type (text/html, application/xhtml+xml) or,
// without one, by a body whose first non-blank byte is "<"; any other body is never decoded
// again, whatever its records hold.
//
// A failure stores a numbered message, "700 ..." to "713 ...", in `status_text` and gives the
// empty text; nothing is raised. An HTTP error status (404, 500) is an answer like any other.
// Two failures go on with what they have: a body that breaks off, or passes 256 MiB, stores
// "713 ..." and keeps the bytes read so far, and the answer's other outputs are still written;
// an answer whose header block cannot be had gives the empty text with no message. Either set
// of credentials failing to be set stores "707 ...", the message of that stage.
//
// Optional parameters carry whether the caller gave them. A value parameter is a std::optional;
// a by-reference parameter is an HttpVariable: the caller's variable and its provided flag. An
// omitted by-reference parameter still names a variable, a fresh empty one, which the routine may
// read and write. Outputs are written by freeing the variable's old value and storing a new one.
//
//   HttpVisitVariables omitted;  // every optional parameter left out
//   Text body = http_visit_omitting_all(url, omitted);
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/runtime.h"

// A by-reference parameter: the caller's variable and whether the caller gave it.
template <class T>
struct HttpVariable {
  T& variable;
  bool provided = false;
};

// A parameter the caller gives: its variable, provided flag set.
template <class T>
[[nodiscard]] HttpVariable<T> given(T& variable) {
  return {variable, true};
}
// A parameter the caller leaves out: a fresh empty variable, provided flag clear.
template <class T>
[[nodiscard]] HttpVariable<T> omitted(T& fresh_variable) {
  return {fresh_variable, false};
}

// The request verbs by `method`: 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE,
// 7 CONNECT; any other index sends GET.
inline constexpr std::int32_t kHttpGet = 0;
inline constexpr std::int32_t kHttpPost = 1;

// Performs one request and returns the body up to its first zero byte (decoded again when an
// HTML page declares a charset other than "gbk" and "gb2312"); the empty text on every failure.
//
//   url                 absolute http:// or https:// address (GBK); read only
//   method              index of the verb above; omitted = GET
//   post_data           the request body, sent as its bytes without terminator; empty = none
//   cookies             sent as the Cookie line when not empty; whether it was given at all keeps
//                       the client's own cookie handling on (given) or switches it off (omitted);
//                       rewritten by the merge
//   returned_cookies    out: the answer's Set-Cookie items joined by "; " (or the merged list),
//                       after what the variable held and "; "; unchanged when the answer sets
//                       none
//   extra_headers       the caller's request header lines, CR LF separated
//   returned_headers    out: the answer's raw header block, CR LF separated
//   forbid_redirect     true switches automatic redirection off; omitted = false
//   user_name, password server Basic credentials, used when both are non-empty
//   proxy               proxy server, host or host:port; empty = direct connection
//   proxy_user, proxy_password  proxy Basic credentials, used when both are non-empty
//   timeout_seconds     one time-out for resolving, connecting, sending and receiving; 0,
//                       negative or omitted = 30 seconds
//   redirect_location   out: the answer's Location value; unchanged when there is none
//   status_text         out: the answer's status text ("200 OK") or the failure message
//   returned_bytes      out: the body exactly as received; when omitted, the variable stays as it
//                       was and the bytes are freed as soon as the text is made
//   auto_merge_cookies  merge the sent and the returned cookies; omitted = true
[[nodiscard]] Text http_visit(const Text& url, std::optional<std::int32_t> method,
                              HttpVariable<Text> post_data, HttpVariable<Text> cookies,
                              HttpVariable<Text> returned_cookies, HttpVariable<Text> extra_headers,
                              HttpVariable<Text> returned_headers,
                              std::optional<bool> forbid_redirect, HttpVariable<Text> user_name,
                              HttpVariable<Text> password, HttpVariable<Text> proxy,
                              HttpVariable<Text> proxy_user, HttpVariable<Text> proxy_password,
                              std::optional<std::int32_t> timeout_seconds,
                              HttpVariable<Text> redirect_location, HttpVariable<Text> status_text,
                              HttpVariable<ByteSet> returned_bytes,
                              std::optional<bool> auto_merge_cookies);

// Fresh empty variables for every by-reference parameter, for a caller that leaves them out.
// What the routine stores in them is released with the struct.
struct HttpVisitVariables {
  Text post_data, cookies, returned_cookies, extra_headers, returned_headers, user_name, password,
      proxy, proxy_user, proxy_password, redirect_location, status_text;
  ByteSet returned_bytes;
};

// http_visit with the address alone: every optional parameter omitted, the by-reference ones
// naming the fresh variables in `fresh`. Method GET, no body, no cookies sent, the default request
// headers only, redirects followed, no credentials, no proxy, the default time-out.
[[nodiscard]] Text http_visit_omitting_all(const Text& url, HttpVisitVariables& fresh);

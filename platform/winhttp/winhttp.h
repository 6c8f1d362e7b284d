// Stand-ins for the synchronous HTTP client of winhttp.dll, carried over libcurl.
//
// Handles: a session (WinHttpOpen) holds the agent, the proxy list, default time-outs and the
// cookie store shared by its requests; a connection (WinHttpConnect) names a server and port; a
// request (WinHttpOpenRequest) owns one libcurl transfer. A handle keeps its parents alive, so
// handles may be closed in any order. Every call reports failure through GetLastError and sets
// ERROR_SUCCESS when it succeeds.
//
// Stages, as the platform reports them: WinHttpSendRequest fails when the server cannot be
// resolved or reached or the secure channel cannot be set up; WinHttpReceiveResponse fails when
// no complete answer head arrives (nothing received, a broken or oversized head, a stall, a
// redirect that cannot be followed); WinHttpQueryDataAvailable and WinHttpReadData fail when the
// body breaks off. The transfer itself is driven lazily by these calls, one step at a time, so
// the body is never held whole: at most about 1 MiB of it waits between two reads.
//
// Connections: a connection whose answer was read to its end, and that neither side asked to
// close, is kept, and a later request to the same host and port (and through the same proxy)
// goes over it; names are resolved once for a while. Every request still goes out byte for byte
// as it would on a new connection (no Connection line is added), a request closed before its
// body's end closes its connection, and a kept connection the server dropped is replaced by a
// fresh one. A request with credentials, or with WINHTTP_DISABLE_KEEP_ALIVE, has a connection of
// its own. Deviation: the platform keeps connections per session; here they are kept across
// sessions, for the whole of the (single-threaded) program, each thread having its own.
//
// Only what the system uses is carried: HTTP/1.1 in synchronous mode, Basic credentials, the
// feature switches for cookies and redirects, and the raw header block. Everything else named
// below fails with ERROR_NOT_SUPPORTED, never silently. Environment proxy variables are ignored.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/last_error.h"
#include "platform/base/types.h"

struct WinHttpHandle;
using HINTERNET = WinHttpHandle*;
using INTERNET_PORT = WORD;
using INTERNET_SCHEME = int;
using LPCWSTR = const char16_t*;
using LPWSTR = char16_t*;

inline constexpr INTERNET_PORT INTERNET_DEFAULT_PORT = 0;
inline constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;
inline constexpr INTERNET_PORT INTERNET_DEFAULT_HTTPS_PORT = 443;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_HTTP = 1;
inline constexpr INTERNET_SCHEME INTERNET_SCHEME_HTTPS = 2;

inline constexpr DWORD WINHTTP_ACCESS_TYPE_DEFAULT_PROXY = 0;
inline constexpr DWORD WINHTTP_ACCESS_TYPE_NO_PROXY = 1;
inline constexpr DWORD WINHTTP_ACCESS_TYPE_NAMED_PROXY = 3;
inline constexpr DWORD WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY = 4;
inline constexpr DWORD WINHTTP_FLAG_ASYNC = 0x10000000;
inline constexpr DWORD WINHTTP_FLAG_SECURE = 0x00800000;

inline constexpr DWORD WINHTTP_AUTH_TARGET_SERVER = 0;
inline constexpr DWORD WINHTTP_AUTH_TARGET_PROXY = 1;
inline constexpr DWORD WINHTTP_AUTH_SCHEME_BASIC = 0x00000001;

inline constexpr DWORD WINHTTP_OPTION_DISABLE_FEATURE = 63;
inline constexpr DWORD WINHTTP_DISABLE_COOKIES = 0x00000001;
inline constexpr DWORD WINHTTP_DISABLE_REDIRECTS = 0x00000002;
inline constexpr DWORD WINHTTP_DISABLE_AUTHENTICATION = 0x00000004;
inline constexpr DWORD WINHTTP_DISABLE_KEEP_ALIVE = 0x00000008;

// Extensions of this stand-in, with no platform value: bounds on a request as a whole, set with
// WinHttpSetOption on a request before it is sent. The idle time-outs of WinHttpSetTimeouts end a
// request whose bytes stop; these end one whose bytes trickle. Both count only the time the
// caller spends inside the calls that wait for the server (sending, receiving, reading), so a
// caller that stops reading for a while is not taken for a slow server.
//   WINHTTP_OPTION_DEADLINE      a DWORD: milliseconds from the send within which the whole body
//                                must have arrived; 0 (the default) sets none. For answers of a
//                                bounded size.
//   WINHTTP_OPTION_MINIMUM_RATE  a WINHTTP_MINIMUM_RATE: from the connection on, each span of
//                                `seconds` must bring at least `bytes_per_second` times that
//                                many bytes; zeros (the default) set none, one zero alone is
//                                ERROR_INVALID_PARAMETER. For long transfers.
// A request that passes either fails as a time-out does (ERROR_WINHTTP_TIMEOUT), at the call
// that was waiting: the send, the receive or a read (the bytes before it kept).
inline constexpr DWORD WINHTTP_OPTION_DEADLINE = 0x7F000001;
inline constexpr DWORD WINHTTP_OPTION_MINIMUM_RATE = 0x7F000002;
struct WINHTTP_MINIMUM_RATE {
  DWORD bytes_per_second = 0;
  DWORD seconds = 0;
};

inline constexpr DWORD WINHTTP_ADDREQ_FLAG_ADD_IF_NEW = 0x10000000;
inline constexpr DWORD WINHTTP_ADDREQ_FLAG_ADD = 0x20000000;
inline constexpr DWORD WINHTTP_ADDREQ_FLAG_REPLACE = 0x80000000;

inline constexpr DWORD WINHTTP_QUERY_RAW_HEADERS_CRLF = 22;

inline constexpr DWORD ERROR_WINHTTP_TIMEOUT = 12002;
inline constexpr DWORD ERROR_WINHTTP_INVALID_URL = 12005;
inline constexpr DWORD ERROR_WINHTTP_UNRECOGNIZED_SCHEME = 12006;
inline constexpr DWORD ERROR_WINHTTP_NAME_NOT_RESOLVED = 12007;
inline constexpr DWORD ERROR_WINHTTP_INVALID_OPTION = 12009;
inline constexpr DWORD ERROR_WINHTTP_INCORRECT_HANDLE_TYPE = 12018;
inline constexpr DWORD ERROR_WINHTTP_INCORRECT_HANDLE_STATE = 12019;
inline constexpr DWORD ERROR_WINHTTP_CANNOT_CONNECT = 12029;
inline constexpr DWORD ERROR_WINHTTP_CONNECTION_ERROR = 12030;
inline constexpr DWORD ERROR_WINHTTP_HEADER_NOT_FOUND = 12150;
inline constexpr DWORD ERROR_WINHTTP_INVALID_SERVER_RESPONSE = 12152;
inline constexpr DWORD ERROR_WINHTTP_INVALID_HEADER = 12153;
inline constexpr DWORD ERROR_WINHTTP_HEADER_ALREADY_EXISTS = 12155;
inline constexpr DWORD ERROR_WINHTTP_REDIRECT_FAILED = 12156;
inline constexpr DWORD ERROR_WINHTTP_SECURE_FAILURE = 12175;
inline constexpr DWORD ERROR_WINHTTP_HEADER_SIZE_OVERFLOW = 12182;

// The platform's record, field by field. In this 64-bit build it is larger than the 60 bytes the
// 32-bit record has; dwStructSize may hold either size.
struct URL_COMPONENTS {
  DWORD dwStructSize = 0;
  LPWSTR lpszScheme = nullptr;
  DWORD dwSchemeLength = 0;
  INTERNET_SCHEME nScheme = 0;
  LPWSTR lpszHostName = nullptr;
  DWORD dwHostNameLength = 0;
  INTERNET_PORT nPort = 0;
  LPWSTR lpszUserName = nullptr;
  DWORD dwUserNameLength = 0;
  LPWSTR lpszPassword = nullptr;
  DWORD dwPasswordLength = 0;
  LPWSTR lpszUrlPath = nullptr;
  DWORD dwUrlPathLength = 0;
  LPWSTR lpszExtraInfo = nullptr;
  DWORD dwExtraInfoLength = 0;
};
inline constexpr DWORD kUrlComponentsRecordSize = 60;  // the 32-bit record

// WinHttpCheckPlatform: true when requests can be made (libcurl is initialised and speaks HTTP).
BOOL WinHttpCheckPlatform();

// WinHttpCrackUrl: splits `url` (`length` characters, 0 = up to its NUL) into its parts. Only
// "http" and "https" are known schemes, in any letter case, and they must be followed by "//".
// For each part the record asks for: a null pointer with a nonzero length gets a pointer into
// `url` and the part's length; a buffer with its size in characters gets a NUL-terminated copy
// and the length without the NUL (too small: ERROR_INSUFFICIENT_BUFFER, the length then the size
// needed); a null pointer with length 0 is not asked for. nScheme and nPort are always filled;
// an absent port is the scheme's (80 or 443), as is an empty one ("http://h:"). The path runs
// from the first "/" to the "?" that starts the extra part; an address without a path reports an
// empty path and an empty extra part at its end, as the platform does for "http://host?".
// Fails with ERROR_WINHTTP_UNRECOGNIZED_SCHEME (no or another scheme), ERROR_WINHTTP_INVALID_URL
// (no "//", no host, a port that is not a number up to 65535) or ERROR_INVALID_PARAMETER (null
// arguments, a wrong record size, a buffer of size 0); the record is then untouched.
// Deviation: `flags` other than 0 (decoding, escaping) fail with ERROR_NOT_SUPPORTED.
BOOL WinHttpCrackUrl(LPCWSTR url, DWORD length, DWORD flags, URL_COMPONENTS* components);

// WinHttpOpen: a new session. A non-null `agent` is sent as the User-Agent line; null sends none.
// Access types: NO_PROXY, DEFAULT_PROXY and AUTOMATIC_PROXY connect directly (there is no system
// proxy setting here); NAMED_PROXY uses `proxy`, a list of entries "[scheme=][scheme://]server
// [:port]" separated by ";" or blanks, where an "http=" or "https=" entry serves that scheme and
// an entry without "scheme=" serves both; a port absent from an entry is 80. `proxy` is ignored
// for the other access types (an empty string is fine). Null on failure: ERROR_INVALID_PARAMETER
// for an unknown access type or NAMED_PROXY without a proxy text; ERROR_NOT_SUPPORTED for
// WINHTTP_FLAG_ASYNC or a non-empty bypass list.
HINTERNET WinHttpOpen(LPCWSTR agent, DWORD access_type, LPCWSTR proxy, LPCWSTR proxy_bypass,
                      DWORD flags);

// WinHttpConnect: a new connection to `server` (a host name or address, not checked until the
// request is sent) at `port` (0: 80, or 443 for a secure request). Null on failure:
// ERROR_INVALID_HANDLE / ERROR_WINHTTP_INCORRECT_HANDLE_TYPE for a `session` that is not an open
// session, ERROR_INVALID_PARAMETER for a null or empty `server` or a nonzero `reserved`.
HINTERNET WinHttpConnect(HINTERNET session, LPCWSTR server, INTERNET_PORT port, DWORD reserved);

// WinHttpOpenRequest: a new request for `verb` (null: "GET") on `object_name` (null: "/"). The
// object name is escaped as the platform escapes it: to UTF-8, then %XX in capitals for the
// control bytes, space, DEL, bytes from 0x80 and " # < > [ \ ] ^ ` { | }; "%" and every other
// character stay (see escape_object_name in platform/winhttp/object_name.h). `flags` may hold
// WINHTTP_FLAG_SECURE (https). Null on failure: ERROR_INVALID_HANDLE /
// ERROR_WINHTTP_INCORRECT_HANDLE_TYPE for a `connection` that is not an open connection,
// ERROR_INVALID_PARAMETER for a verb that is not an HTTP token. Deviation: a version other than
// null or "HTTP/1.1", a referrer, accept types and other flags fail with ERROR_NOT_SUPPORTED.
HINTERNET WinHttpOpenRequest(HINTERNET connection, LPCWSTR verb, LPCWSTR object_name,
                             LPCWSTR version, LPCWSTR referrer, LPCWSTR* accept_types, DWORD flags);

// WinHttpSetTimeouts: the time-outs in milliseconds of a session (for its later requests) or of a
// request; 0 and -1 wait without end. Resolving and connecting (with the secure handshake and a
// proxy tunnel) are bounded together by the connect time-out; sending and receiving are idle
// time-outs, ended when no byte moved for that long. The defaults are 0, 60000, 30000, 30000.
// Fails with ERROR_INVALID_PARAMETER for a value below -1, and on a connection handle with
// ERROR_WINHTTP_INCORRECT_HANDLE_TYPE. Deviation: the resolve time-out is kept but not applied on
// its own, since the connect time-out already bounds name resolution.
BOOL WinHttpSetTimeouts(HINTERNET handle, int resolve_timeout, int connect_timeout,
                        int send_timeout, int receive_timeout);

// WinHttpSetCredentials: Basic credentials for the server (sent with the first request, and
// dropped by a redirect to another host) or for the proxy, set before the request is sent.
// Fails with ERROR_INVALID_PARAMETER for an unknown target or a null user name or password,
// ERROR_WINHTTP_INCORRECT_HANDLE_STATE once the request was sent. Deviations: schemes other than
// Basic fail with ERROR_NOT_SUPPORTED; proxy credentials go with the first request instead of
// answering the proxy's 407; the name and password travel in UTF-8.
BOOL WinHttpSetCredentials(HINTERNET request, DWORD target, DWORD scheme, LPCWSTR user_name,
                           LPCWSTR password, void* params);

// WinHttpSetOption, on a request before it is sent: WINHTTP_OPTION_DISABLE_FEATURE with a DWORD
// of WINHTTP_DISABLE_COOKIES (the session's cookie store is neither read nor filled),
// WINHTTP_DISABLE_REDIRECTS (a redirect answer is the answer) and WINHTTP_DISABLE_KEEP_ALIVE (the
// request neither uses a kept connection nor leaves its own to be kept);
// WINHTTP_OPTION_DEADLINE and WINHTTP_OPTION_MINIMUM_RATE (above). Fails with
// ERROR_INSUFFICIENT_BUFFER for a length below the value's size, ERROR_INVALID_PARAMETER for a
// null buffer or an unknown feature, ERROR_WINHTTP_INVALID_OPTION for other options,
// ERROR_WINHTTP_INCORRECT_HANDLE_STATE once sent. Deviation: WINHTTP_DISABLE_AUTHENTICATION
// fails with ERROR_NOT_SUPPORTED.
BOOL WinHttpSetOption(HINTERNET handle, DWORD option, const void* buffer, DWORD length);

// WinHttpAddRequestHeaders: adds the lines of `headers` (`length` characters, -1 = up to its NUL;
// lines end with CR LF or LF, empty lines are skipped) before the request is sent. Each line is
// "name: value"; the name is matched in any letter case. Modifiers: ADD appends; ADD_IF_NEW
// appends, and fails with ERROR_WINHTTP_HEADER_ALREADY_EXISTS when the name exists; REPLACE
// changes the first line of that name, or removes it when the value is empty (no such line:
// ERROR_WINHTTP_HEADER_NOT_FOUND, unless ADD is given too, which then appends). Lines earlier in
// the text stay added when a later one fails. A line without ":", with a name that is not an HTTP
// token or with a NUL fails with ERROR_WINHTTP_INVALID_HEADER. Header texts go out in the system
// ANSI code page (936). Deviation: the coalescing modifiers fail with ERROR_NOT_SUPPORTED.
BOOL WinHttpAddRequestHeaders(HINTERNET request, LPCWSTR headers, DWORD length, DWORD modifiers);

// WinHttpSendRequest: adds `headers` (as WinHttpAddRequestHeaders with ADD, may be null), then
// connects and sends the request with the `optional_length` bytes of `optional` as its body (a
// copy is kept for a redirect that repeats it). A POST always carries Content-Length; other verbs
// only with a body. Fails with ERROR_WINHTTP_NAME_NOT_RESOLVED, ERROR_WINHTTP_CANNOT_CONNECT,
// ERROR_WINHTTP_TIMEOUT or ERROR_WINHTTP_SECURE_FAILURE (certificates are checked against the
// system's store), ERROR_WINHTTP_INCORRECT_HANDLE_STATE when sent before, ERROR_INVALID_PARAMETER
// for a null body with a length. Deviation: a `total_length` other than `optional_length` (a body
// written later with WinHttpWriteData) fails with ERROR_NOT_SUPPORTED.
BOOL WinHttpSendRequest(HINTERNET request, LPCWSTR headers, DWORD headers_length,
                        const void* optional, DWORD optional_length, DWORD total_length,
                        std::uintptr_t context);

// WinHttpReceiveResponse: waits for the head of the final answer: interim (1xx) answers are
// skipped and redirects (301, 302, 303, 307, 308 and any other 3xx with a Location) are followed,
// at most 10, a POST becoming a GET except on 307 and 308, never from https to http. An HTTP
// error status is an answer like any other. Fails with ERROR_WINHTTP_CONNECTION_ERROR (closed or
// reset before a complete head), ERROR_WINHTTP_INVALID_SERVER_RESPONSE (not an HTTP answer),
// ERROR_WINHTTP_HEADER_SIZE_OVERFLOW (a head, or the interim heads before it, over 64 KiB),
// ERROR_WINHTTP_REDIRECT_FAILED, ERROR_WINHTTP_TIMEOUT, ERROR_WINHTTP_CANNOT_CONNECT (a redirect
// target), ERROR_WINHTTP_INCORRECT_HANDLE_STATE before WinHttpSendRequest, ERROR_INVALID_PARAMETER
// for a non-null `reserved`. Deviation: 300, 304, 305 and 306 with a Location are followed too.
BOOL WinHttpReceiveResponse(HINTERNET request, void* reserved);

// WinHttpQueryDataAvailable: waits until body bytes are ready and stores how many (0 at the end of
// the body). When the body broke off, it stores 1, so that the next WinHttpReadData reports the
// failure with the bytes before it delivered. Fails with ERROR_WINHTTP_INCORRECT_HANDLE_STATE
// before the answer's head, and with the transfer's error once WinHttpReadData reported it.
BOOL WinHttpQueryDataAvailable(HINTERNET request, DWORD* available);

// WinHttpReadData: copies up to `size` bytes of the body into `buffer`, waiting for them, and
// stores the count (0 at the end of the body). Fails, `*bytes_read` untouched, when the body broke
// off (ERROR_WINHTTP_CONNECTION_ERROR, ERROR_WINHTTP_TIMEOUT), before the answer's head
// (ERROR_WINHTTP_INCORRECT_HANDLE_STATE) and for null pointers (ERROR_INVALID_PARAMETER).
BOOL WinHttpReadData(HINTERNET request, void* buffer, DWORD size, DWORD* bytes_read);

// WinHttpQueryHeaders with WINHTTP_QUERY_RAW_HEADERS_CRLF: the final answer's head as UTF-16
// (decoded from the system ANSI code page): the status line and each header line ending in CR LF,
// then an empty line. With `*size` too small for it (0, or a null buffer) it fails with
// ERROR_INSUFFICIENT_BUFFER and stores the size needed in bytes, terminator included; otherwise it
// stores the block with its terminator and the size in bytes without it. Fails with
// ERROR_WINHTTP_INCORRECT_HANDLE_STATE before the answer's head. Deviation: other info levels and
// a header name fail with ERROR_NOT_SUPPORTED; `index` is ignored.
BOOL WinHttpQueryHeaders(HINTERNET request, DWORD info_level, LPCWSTR name, void* buffer,
                         DWORD* size, DWORD* index);

// WinHttpCloseHandle: closes a session, connection or request handle; a transfer still running is
// abandoned. False with ERROR_INVALID_HANDLE for null or a handle that is not open.
BOOL WinHttpCloseHandle(HINTERNET handle);

// A test and benchmark seam: whether connections are kept across requests (the default). With
// false each request connects and resolves on its own, and its connection ends with it. Either
// way the calling thread's kept connections are dropped, once no open request uses them.
void SetWinHttpConnectionReuseForTesting(bool enabled);

// A test seam: when `pem_certificates` is not empty, secure requests opened afterwards trust these
// certificates instead of the system's store; an empty text restores the system's store. The
// calling thread's kept connections are dropped.
void SetWinHttpTrustedCertificatesForTesting(std::string pem_certificates);

#include "platform/winhttp/transfer.h"

#include <algorithm>
#include <climits>
#include <mutex>

namespace {

constexpr std::size_t kBodyBufferLimit = 1024 * 1024;
constexpr long kReceiveBufferSize = 100 * 1024;  // as the curl command uses
constexpr long kMaxRedirects = 10;
constexpr int kLongestPollMs = 1000;

std::mutex trust_mutex;
std::string trusted_certificates;  // PEM; empty: the system's store. Guarded by trust_mutex.

std::string current_trusted_certificates() {
  std::lock_guard lock(trust_mutex);
  return trusted_certificates;
}

curl_slist* append_line(curl_slist* list, const std::string& line, bool* ok) {
  curl_slist* extended = curl_slist_append(list, line.c_str());
  if (extended == nullptr) {
    *ok = false;
    return list;
  }
  return extended;
}

std::string url_of(const Request& request) {
  const Connection& connection = *request.connection;
  const INTERNET_PORT port = connection.port != INTERNET_DEFAULT_PORT ? connection.port
                             : request.secure                         ? INTERNET_DEFAULT_HTTPS_PORT
                                                                      : INTERNET_DEFAULT_HTTP_PORT;
  std::string url = request.secure ? "https://" : "http://";
  url += connection.server;
  url += ':';
  url += std::to_string(port);
  if (!request.target.starts_with('/')) url += '/';
  url += request.target;
  return url;
}

}  // namespace

bool libcurl_ready() {
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

DWORD winhttp_error(CURLcode code, bool redirected) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return ERROR_WINHTTP_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
      return ERROR_WINHTTP_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
      return ERROR_WINHTTP_TIMEOUT;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED:
      return ERROR_WINHTTP_SECURE_FAILURE;
    case CURLE_TOO_MANY_REDIRECTS:
      return ERROR_WINHTTP_REDIRECT_FAILED;
    case CURLE_UNSUPPORTED_PROTOCOL:  // a refused redirect, or an answer that is not HTTP/1.x
      return redirected ? ERROR_WINHTTP_REDIRECT_FAILED : ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
    case CURLE_URL_MALFORMAT:
      return redirected ? ERROR_WINHTTP_REDIRECT_FAILED : ERROR_WINHTTP_INVALID_URL;
    case CURLE_OK:  // ended without a complete head
    case CURLE_WEIRD_SERVER_REPLY:
      return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
    case CURLE_OUT_OF_MEMORY:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_WINHTTP_CONNECTION_ERROR;
  }
}

Transfer::Transfer(const Request& request, std::size_t body_size)
    : timeouts_(request.timeouts),
      body_size_(static_cast<curl_off_t>(body_size)),
      multi_handle_(multi_handle_for_transfer()),
      multi_(multi_handle_->get()),
      easy_(curl_easy_init()),
      bounds_(request.deadline, request.minimum_rate),
      head_(request.redirects_enabled) {}

Transfer::~Transfer() {
  if (running_) curl_multi_remove_handle(multi_, easy_);
  if (easy_ != nullptr) curl_easy_cleanup(easy_);
  curl_slist_free_all(server_headers_);
  curl_slist_free_all(proxy_headers_);
}

DWORD Transfer::create(const Request& request, std::string_view body,
                       std::unique_ptr<Transfer>* transfer) {
  if (!is_url_host(request.connection->server)) return ERROR_WINHTTP_NAME_NOT_RESOLVED;
  std::unique_ptr<Transfer> created(new Transfer(request, body.size()));
  if (created->easy_ == nullptr || created->multi_ == nullptr || !created->configure(request, body))
    return ERROR_NOT_ENOUGH_MEMORY;
  *transfer = std::move(created);
  return ERROR_SUCCESS;
}

template <class Value>
void Transfer::set(CURLoption option, Value value) {
  if (curl_easy_setopt(easy_, option, value) != CURLE_OK) configured_ = false;
}

bool Transfer::configure(const Request& request, std::string_view body) {
  const std::string url = url_of(request);
  set(CURLOPT_URL, url.c_str());
  set(CURLOPT_PATH_AS_IS, 1L);  // the escaped object name goes out as it is
  set(CURLOPT_PROTOCOLS_STR, "http,https");
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_BUFFERSIZE, kReceiveBufferSize);
  const int connect = request.timeouts.connect;
  set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect > 0 ? connect : INT_MAX));
  set(CURLOPT_FOLLOWLOCATION, request.redirects_enabled ? 1L : 0L);
  set(CURLOPT_MAXREDIRS, kMaxRedirects);
  set(CURLOPT_REDIR_PROTOCOLS_STR, request.secure ? "https" : "http,https");
  const Session& session = *request.connection->session;
  if (request.cookies_enabled) {
    set(CURLOPT_SHARE, session.cookies.share());
    set(CURLOPT_COOKIEFILE, "");  // the cookie engine on, with nothing loaded
  }
  configure_method(request, body);
  configure_headers(request);
  configure_proxy(request);
  configure_credentials(request);
  configure_connection_use(request);
  configure_callbacks();
  configure_trust();
  return configured_;
}

// HEAD must go through NOBODY (a custom HEAD would wait for a body), and POST through the post
// options so that a redirect turns it into a GET; other verbs are custom requests.
void Transfer::configure_method(const Request& request, std::string_view body) {
  const bool post = request.verb == "POST";
  if (request.verb == "HEAD") {
    set(CURLOPT_NOBODY, 1L);
  } else if (request.verb != "GET" && !post) {
    set(CURLOPT_CUSTOMREQUEST, request.verb.c_str());
    if (request.verb == "CONNECT") set(CURLOPT_REQUEST_TARGET, request.target.c_str());
  } else if (request.verb == "GET" && !body.empty()) {
    set(CURLOPT_CUSTOMREQUEST, "GET");  // the post options would make it a POST
  }
  if (post || !body.empty()) {
    set(CURLOPT_POST, 1L);
    set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    set(CURLOPT_COPYPOSTFIELDS, body.data());
  }
}

// The caller's lines, then blanks that keep libcurl from adding lines the platform never sends.
void Transfer::configure_headers(const Request& request) {
  bool ok = true;
  for (const std::string& line : request.headers.curl_lines())
    server_headers_ = append_line(server_headers_, line, &ok);
  for (const char* name : {"Accept", "Content-Type", "Expect"}) {
    if (!request.headers.contains(name))
      server_headers_ = append_line(server_headers_, std::string(name) + ":", &ok);
  }
  proxy_headers_ = append_line(proxy_headers_, "Proxy-Connection:", &ok);
  if (!ok) configured_ = false;
  set(CURLOPT_HTTPHEADER, server_headers_);
  set(CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));  // server lines stay off CONNECT
  set(CURLOPT_PROXYHEADER, proxy_headers_);
  const Session& session = *request.connection->session;
  if (session.agent) set(CURLOPT_USERAGENT, session.agent->c_str());
}

// An empty proxy also keeps libcurl from taking one from the environment; NOPROXY "" keeps it
// from reading the environment's exceptions.
void Transfer::configure_proxy(const Request& request) {
  const ProxyList& proxies = request.connection->session->proxies;
  const std::string& proxy = request.secure ? proxies.for_https : proxies.for_http;
  set(CURLOPT_PROXY, proxy.c_str());
  set(CURLOPT_NOPROXY, "");
  set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  if (!proxy.empty() && request.proxy_credentials.set) {
    set(CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_BASIC));
    set(CURLOPT_PROXYUSERNAME, request.proxy_credentials.user_name.c_str());
    set(CURLOPT_PROXYPASSWORD, request.proxy_credentials.password.c_str());
  }
}

void Transfer::configure_credentials(const Request& request) {
  if (!request.server_credentials.set) return;
  set(CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_BASIC));
  set(CURLOPT_USERNAME, request.server_credentials.user_name.c_str());
  set(CURLOPT_PASSWORD, request.server_credentials.password.c_str());
}

// A request with credentials gets a connection of its own, so that no other request goes over a
// connection (or a proxy tunnel) that was opened for credentials it does not carry.
void Transfer::configure_connection_use(const Request& request) {
  const bool own_connection =
      !request.keep_alive || request.server_credentials.set || request.proxy_credentials.set;
  if (!own_connection) return;
  set(CURLOPT_FRESH_CONNECT, 1L);
  set(CURLOPT_FORBID_REUSE, 1L);
}

void Transfer::configure_callbacks() {
  set(CURLOPT_PRIVATE, static_cast<void*>(this));
  set(CURLOPT_HEADERFUNCTION, &Transfer::on_header_line);
  set(CURLOPT_HEADERDATA, this);
  set(CURLOPT_WRITEFUNCTION, &Transfer::on_body_bytes);
  set(CURLOPT_WRITEDATA, this);
  set(CURLOPT_PREREQFUNCTION, &Transfer::on_connected);
  set(CURLOPT_PREREQDATA, this);
  set(CURLOPT_SOCKOPTFUNCTION, &Transfer::on_socket);
  set(CURLOPT_SOCKOPTDATA, this);
}

void Transfer::configure_trust() {
  const std::string pem = current_trusted_certificates();
  if (pem.empty()) return;
  curl_blob blob{const_cast<char*>(pem.data()), pem.size(), CURL_BLOB_COPY};
  set(CURLOPT_CAINFO_BLOB, &blob);
  set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
}

DWORD Transfer::send() {
  if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return ERROR_NOT_ENOUGH_MEMORY;
  running_ = true;
  run_until([this] { return dispatched_ || head_.started(); });
  if (finished_ && !dispatched_ && !head_.started()) return failure();
  return ERROR_SUCCESS;
}

DWORD Transfer::receive() {
  run_until([this] { return head_.complete(); });
  return head_.complete() ? ERROR_SUCCESS : failure();
}

DWORD Transfer::wait_for_body(std::size_t* ready) {
  run_until([this] { return !body_.empty(); });
  if (!body_.empty()) {
    *ready = body_.size();
    return ERROR_SUCCESS;
  }
  const DWORD error = body_failure();
  if (error != ERROR_SUCCESS && failure_reported_) return error;
  *ready = error != ERROR_SUCCESS ? 1 : 0;
  return ERROR_SUCCESS;
}

DWORD Transfer::read(std::span<std::byte> buffer, std::size_t* count) {
  if (!buffer.empty()) run_until([this] { return !body_.empty(); });
  if (!body_.empty() || buffer.empty()) {
    *count = take_body(buffer);
    return ERROR_SUCCESS;
  }
  if (const DWORD error = body_failure()) {
    failure_reported_ = true;
    return error;
  }
  *count = 0;
  return ERROR_SUCCESS;
}

std::size_t Transfer::take_body(std::span<std::byte> buffer) {
  const std::size_t count = body_.take(buffer);
  if (body_.empty() && paused_ && !finished_) {
    paused_ = false;  // resuming hands libcurl's held-back bytes to on_body_bytes at once
    if (const CURLcode result = curl_easy_pause(easy_, CURLPAUSE_CONT); result != CURLE_OK)
      finish(result);
  }
  return count;
}

// Runs the transfer until `reached()` holds or it finishes, waiting on its sockets in between
// and ending it when the idle time-out passes without a byte moving or a bound on the whole
// request is passed. Only this waiting counts towards the bounds.
template <class Reached>
void Transfer::run_until(const Reached& reached) {
  bounds_.start_waiting(std::chrono::steady_clock::now());
  while (!finished_ && !reached()) {
    step();
    if (finished_ || reached()) break;
    if (const Stop passed = bound_passed(); passed != Stop::kNone) {
      stop(passed);
      break;
    }
    if (curl_multi_poll(multi_, nullptr, 0, poll_wait(), nullptr) != CURLM_OK)
      finish(CURLE_RECV_ERROR);
  }
  bounds_.stop_waiting(std::chrono::steady_clock::now());
}

void Transfer::step() {
  int running = 0;
  if (curl_multi_perform(multi_, &running) != CURLM_OK) {
    finish(CURLE_OUT_OF_MEMORY);
    return;
  }
  // Other transfers of the shared multi handle may end here too.
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
    char* owner = nullptr;
    if (message->msg != CURLMSG_DONE ||
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &owner) != CURLE_OK)
      continue;
    reinterpret_cast<Transfer*>(owner)->finish(message->data.result);
  }
  note_upload_progress();
}

// Also after the transfer finished: one step may send the request and see the server close.
void Transfer::note_upload_progress() {
  if (!connected_once_) return;
  curl_off_t uploaded = 0;
  curl_easy_getinfo(easy_, CURLINFO_SIZE_UPLOAD_T, &uploaded);
  if (uploaded != uploaded_) {
    uploaded_ = uploaded;
    note_activity();
  }
  if (uploaded >= body_size_) dispatched_ = true;
}

void Transfer::finish(CURLcode result) {
  if (finished_) return;
  note_upload_progress();
  finished_ = true;
  result_ = result;
  if (running_) curl_multi_remove_handle(multi_, easy_);
  running_ = false;
}

void Transfer::note_received(std::size_t bytes) {
  note_activity();
  bounds_.note_received(bytes);
}

void Transfer::stop(Stop reason) {
  stop_ = reason;
  finish(CURLE_OPERATION_TIMEDOUT);
}

// Sending is idle until the request is out, receiving after that.
int Transfer::idle_limit() const {
  return dispatched_ ? timeouts_.receive : timeouts_.send;
}

// The idle time-outs apply on a connection; while connecting, the connect time-out does.
bool Transfer::watching_idle() const {
  return connection_ready_ && idle_limit() > 0;
}

std::chrono::milliseconds Transfer::idle_left(std::chrono::steady_clock::time_point now) const {
  return std::chrono::milliseconds(idle_limit()) -
         std::chrono::duration_cast<std::chrono::milliseconds>(now - last_activity_);
}

Transfer::Stop Transfer::bound_passed() {
  const auto now = std::chrono::steady_clock::now();
  if (watching_idle() && idle_left(now).count() <= 0) return Stop::kIdle;
  switch (bounds_.check(now)) {
    case TransferBounds::Passed::kDeadline:
      return Stop::kDeadline;
    case TransferBounds::Passed::kMinimumRate:
      return Stop::kTooSlow;
    case TransferBounds::Passed::kNone:
      break;
  }
  return Stop::kNone;
}

int Transfer::poll_wait() const {
  const auto now = std::chrono::steady_clock::now();
  std::chrono::milliseconds wait(kLongestPollMs);
  if (watching_idle()) wait = std::min(wait, idle_left(now));
  wait = bounds_.time_left(now, wait);
  return static_cast<int>(std::clamp<long long>(wait.count(), 1, kLongestPollMs));
}

DWORD Transfer::failure() const {
  switch (stop_) {
    case Stop::kIdle:
    case Stop::kDeadline:
    case Stop::kTooSlow:
      return ERROR_WINHTTP_TIMEOUT;
    case Stop::kHeadTooLarge:
      return ERROR_WINHTTP_HEADER_SIZE_OVERFLOW;
    case Stop::kNone:
      break;
  }
  return winhttp_error(result_, head_.redirected());
}

DWORD Transfer::body_failure() const {
  const bool failed = finished_ && (result_ != CURLE_OK || stop_ != Stop::kNone);
  return failed ? failure() : ERROR_SUCCESS;
}

std::size_t Transfer::on_header_line(char* data, std::size_t size, std::size_t count, void* self) {
  auto* transfer = static_cast<Transfer*>(self);
  if (!transfer->head_.take_line({data, size * count})) {
    transfer->stop_ = Stop::kHeadTooLarge;
    return 0;
  }
  transfer->note_received(size * count);
  return size * count;
}

std::size_t Transfer::on_body_bytes(char* data, std::size_t size, std::size_t count, void* self) {
  auto* transfer = static_cast<Transfer*>(self);
  if (transfer->head_.complete() && transfer->body_.size() >= kBodyBufferLimit) {
    transfer->paused_ = true;  // the bytes come again on resuming: they are not counted yet
    return CURL_WRITEFUNC_PAUSE;
  }
  transfer->note_received(size * count);
  if (transfer->head_.complete()) transfer->body_.append(data, size * count);
  return size * count;  // an interim or redirect answer's body is dropped
}

int Transfer::on_connected(void* self, char*, char*, int, int) {
  auto* transfer = static_cast<Transfer*>(self);
  transfer->connection_ready_ = true;
  transfer->connected_once_ = true;
  transfer->note_activity();
  transfer->bounds_.note_connected(transfer->last_activity_);
  return CURL_PREREQFUNC_OK;
}

int Transfer::on_socket(void* self, curl_socket_t, curlsocktype purpose) {
  if (purpose == CURLSOCKTYPE_IPCXN) static_cast<Transfer*>(self)->connection_ready_ = false;
  return CURL_SOCKOPT_OK;
}

// Connections secured under the trust that ends are not used again.
void SetWinHttpTrustedCertificatesForTesting(std::string pem_certificates) {
  std::lock_guard lock(trust_mutex);
  trusted_certificates = std::move(pem_certificates);
  drop_kept_connections();
}

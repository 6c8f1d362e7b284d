#include "app/download/download.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/download/answer_head.h"
#include "app/download/play_address.h"
#include "app/download/saved_name.h"
#include "platform/codepage/codepage.h"
#include "platform/winhttp/winhttp.h"

namespace {

constexpr std::size_t kReadBufferSize = 256 * 1024;
constexpr char kPartSuffix[] = ".part";
constexpr LPCWSTR kAgent = u"songsearch";

volatile std::sig_atomic_t interrupt_requested = 0;

void note_interrupt(int) {
  interrupt_requested = 1;
}

// SIGINT noted instead of ending the program, for the life of the object. No SA_RESTART: a read
// waiting in the stand-in sees EINTR and its loop goes on until the next check of the flag.
class InterruptNoted {
 public:
  InterruptNoted() {
    interrupt_requested = 0;
    struct sigaction noted {};
    noted.sa_handler = note_interrupt;
    sigemptyset(&noted.sa_mask);
    sigaction(SIGINT, &noted, &previous_);
  }
  ~InterruptNoted() { sigaction(SIGINT, &previous_, nullptr); }
  InterruptNoted(const InterruptNoted&) = delete;
  InterruptNoted& operator=(const InterruptNoted&) = delete;

 private:
  struct sigaction previous_ {};
};

struct HandleCloser {
  void operator()(WinHttpHandle* handle) const { WinHttpCloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<WinHttpHandle, HandleCloser>;

class OwnedFile {
 public:
  explicit OwnedFile(int descriptor = -1) : descriptor_(descriptor) {}
  OwnedFile(OwnedFile&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
  OwnedFile& operator=(OwnedFile&&) = delete;
  ~OwnedFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  [[nodiscard]] int get() const { return descriptor_; }
  [[nodiscard]] bool is_open() const { return descriptor_ >= 0; }
  // Closes the file; false when closing reports an error (a write that failed late).
  bool close() { return ::close(std::exchange(descriptor_, -1)) == 0; }

 private:
  int descriptor_;
};

std::u16string wide(std::string_view gbk) {
  if (gbk.empty()) return {};
  const int length = static_cast<int>(gbk.size());
  const int units = MultiByteToWideChar(936, 0, gbk.data(), length, nullptr, 0);
  std::u16string text(static_cast<std::size_t>(std::max(units, 0)), u'\0');
  MultiByteToWideChar(936, 0, gbk.data(), length, text.data(), units);
  return text;
}

// A header block holds ASCII in practice; any other unit reads as "?".
std::string narrow(std::u16string_view text) {
  std::string bytes(text.size(), '?');
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] < 0x80) bytes[at] = static_cast<char>(text[at]);
  }
  return bytes;
}

std::string error_phrase(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
      return "the transfer timed out or fell below the minimum rate";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return "the server's name does not resolve";
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return "the server cannot be reached";
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return "the connection broke off";
    case ERROR_WINHTTP_SECURE_FAILURE:
      return "the secure channel failed";
    case ERROR_WINHTTP_REDIRECT_FAILED:
      return "a redirect cannot be followed";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return "the server's answer is not HTTP";
    default:
      return "the request failed (error " + std::to_string(error) + ")";
  }
}

std::string errno_phrase(const char* what, const std::string& path) {
  return std::string("cannot ") + what + " " + path + ": " + std::strerror(errno);
}

// One request for the address, sent and answered as far as its head.
struct Answer {
  OwnedHandle session, connection, request;
  AnswerHead head;
  std::string failure;  // empty when the head arrived
};

void set_rate_floor(HINTERNET request, const DownloadOptions& options) {
  const WINHTTP_MINIMUM_RATE floor{options.minimum_bytes_per_second, options.minimum_rate_seconds};
  // A stand-in without the rate floor refuses the option (ERROR_WINHTTP_INVALID_OPTION); the
  // idle time-outs then still end a transfer whose bytes stop, only not one whose bytes trickle.
  WinHttpSetOption(request, WINHTTP_OPTION_MINIMUM_RATE, &floor, sizeof floor);
}

bool open_request(std::string_view url, const DownloadOptions& options, Answer& answer) {
  const std::u16string wide_url = wide(url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = kUrlComponentsRecordSize;
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 0xFFFFFFFF;
  if (!WinHttpCrackUrl(wide_url.c_str(), static_cast<DWORD>(wide_url.size()), 0, &parts)) {
    answer.failure = "the play address is not a usable address";
    return false;
  }
  const std::u16string host(parts.lpszHostName, parts.dwHostNameLength);
  std::u16string object(parts.lpszUrlPath, parts.dwUrlPathLength);
  object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (object.empty() || object.front() != u'/') object.insert(0, u"/");

  answer.session.reset(WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, u"", nullptr, 0));
  if (answer.session)
    answer.connection.reset(WinHttpConnect(answer.session.get(), host.c_str(), parts.nPort, 0));
  if (answer.connection) {
    const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    answer.request.reset(WinHttpOpenRequest(answer.connection.get(), u"GET", object.c_str(),
                                            nullptr, nullptr, nullptr, flags));
  }
  if (!answer.request) {
    answer.failure = error_phrase(GetLastError());
    return false;
  }
  const int timeout = options.timeout_milliseconds;
  WinHttpSetTimeouts(answer.request.get(), timeout, timeout, timeout, timeout);
  set_rate_floor(answer.request.get(), options);
  return true;
}

std::optional<std::string> raw_head(HINTERNET request) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, nullptr, &size, nullptr);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
  std::u16string block(size / sizeof(char16_t), u'\0');
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, nullptr, block.data(), &size,
                           nullptr)) {
    return std::nullopt;
  }
  block.resize(size / sizeof(char16_t));
  return narrow(block);
}

// Requests `url`, from byte `range_from` on when it is not 0.
Answer requested(std::string_view url, const DownloadOptions& options, std::uint64_t range_from) {
  Answer answer;
  if (!open_request(url, options, answer)) return answer;
  HINTERNET request = answer.request.get();
  if (range_from > 0) {
    const std::u16string range = wide("Range: bytes=" + std::to_string(range_from) + "-");
    WinHttpAddRequestHeaders(request, range.c_str(), static_cast<DWORD>(range.size()),
                             WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
  }
  if (!WinHttpSendRequest(request, nullptr, 0, nullptr, 0, 0, 0) ||
      !WinHttpReceiveResponse(request, nullptr)) {
    answer.failure = error_phrase(GetLastError());
    return answer;
  }
  const std::optional<std::string> head = raw_head(request);
  if (!head) {
    answer.failure = error_phrase(GetLastError());
    return answer;
  }
  answer.head = read_answer_head(*head);
  return answer;
}

// Where the answer's body goes, by its status and the part already there.
enum class BodyPlan { write_from_zero, append, already_complete, start_again, refuse };

struct Plan {
  BodyPlan body = BodyPlan::refuse;
  std::optional<std::uint64_t> total;  // the whole file's length when the answer tells it
};

Plan plan_for(const AnswerHead& head, std::uint64_t part_size) {
  const auto& range = head.content_range;
  if (head.status == 200) return {BodyPlan::write_from_zero, head.content_length};
  if (head.status == 206 && range && range->first) {
    std::optional<std::uint64_t> total = range->total;
    if (!total && head.content_length) total = *range->first + *head.content_length;
    if (*range->first == part_size) {
      return {part_size == 0 ? BodyPlan::write_from_zero : BodyPlan::append, total};
    }
    return {BodyPlan::start_again, {}};
  }
  if (head.status == 416 && part_size > 0) {
    if (range && range->total == part_size) return {BodyPlan::already_complete, part_size};
    return {BodyPlan::start_again, {}};
  }
  return {BodyPlan::refuse, {}};
}

bool write_all(int file, const char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t written = ::write(file, bytes, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

std::uint64_t size_of_part(const std::string& path) {
  struct stat status {};
  if (lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return 0;
  return static_cast<std::uint64_t>(status.st_size);
}

bool exists(const std::string& path) {
  struct stat status {};
  return lstat(path.c_str(), &status) == 0;
}

bool synced(const std::string& path) {
  OwnedFile file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  return file.is_open() && fsync(file.get()) == 0 && file.close();
}

// Syncs the folder, so that a rename in it survives a crash; a folder that cannot be opened or
// synced (some file systems) leaves the file saved all the same.
void sync_folder(const std::string& folder) {
  const OwnedFile directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.is_open()) fsync(directory.get());
}

class SongDownload {
 public:
  SongDownload(const SongEntry& entry, const DownloadOptions& options)
      : entry_(entry),
        options_(options),
        folder_(options.output_dir.empty() ? "." : options.output_dir) {}

  DownloadOutcome run() {
    const std::string url(entry_.url.view());
    const std::string part_name = name_for("") + kPartSuffix;
    part_path_ = folder_ + "/" + part_name;
    if (const std::string refusal = address_refusal(url); !refusal.empty()) {
      return failed(describe("the play address " + refusal));
    }
    if (!extension_of_address(url).empty()) {
      if (DownloadOutcome outcome; refused_as_existing(name_for(""), outcome)) return outcome;
    }
    std::uint64_t part_size = size_of_part(part_path_);
    for (int attempt = 0; attempt < 2; ++attempt) {
      Answer answer = requested(url, options_, part_size);
      if (!answer.failure.empty()) return failed(describe(answer.failure));
      const Plan plan = plan_for(answer.head, part_size);
      if (plan.body == BodyPlan::start_again) {
        if (unlink(part_path_.c_str()) != 0 && errno != ENOENT) {
          return failed(errno_phrase("remove", part_path_));
        }
        part_size = 0;
        continue;
      }
      if (plan.body == BodyPlan::refuse) {
        return failed(describe("the server answered " + std::to_string(answer.head.status)));
      }
      return saved_from(answer, plan);
    }
    return failed(describe("the server does not continue the download"));
  }

 private:
  std::string name_for(std::string_view content_type) const {
    return saved_file_name(
        {entry_.filename.view(), entry_.hash.view(), entry_.url.view(), content_type},
        terminal_charset());
  }

  bool refused_as_existing(const std::string& name, DownloadOutcome& outcome) const {
    const std::string path = folder_ + "/" + name;
    if (options_.force || !exists(path)) return false;
    outcome = {DownloadResult::exists, path, path + " exists (--force replaces it)"};
    return true;
  }

  DownloadOutcome saved_from(Answer& answer, const Plan& plan) {
    const std::string name = name_for(answer.head.content_type);
    if (DownloadOutcome outcome; refused_as_existing(name, outcome)) return outcome;
    final_path_ = folder_ + "/" + name;
    if (plan.body == BodyPlan::already_complete) {
      // An earlier try wrote every byte but may have ended before syncing them.
      if (!synced(part_path_)) return failed(errno_phrase("sync", part_path_));
    } else if (DownloadOutcome outcome; !streamed(answer, plan, name, outcome)) {
      return outcome;
    }
    if (std::rename(part_path_.c_str(), final_path_.c_str()) != 0) {
      return failed(errno_phrase("rename", part_path_));
    }
    sync_folder(folder_);
    return {DownloadResult::saved, final_path_, {}};
  }

  // Streams the body into the part; true when the part holds the whole file, synced and closed.
  bool streamed(Answer& answer, const Plan& plan, const std::string& name,
                DownloadOutcome& outcome) {
    const bool append = plan.body == BodyPlan::append;
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    OwnedFile part(::open(part_path_.c_str(), flags, 0644));
    if (!part.is_open()) {
      outcome = failed(errno_phrase("create", part_path_));
      return false;
    }
    std::uint64_t received = append ? size_of_part(part_path_) : 0;
    ProgressReport progress(stderr, options_.progress, name, plan.total, received);
    const std::unique_ptr<char[]> buffer(new char[kReadBufferSize]);
    while (true) {
      if (interrupt_requested) {
        progress.abandoned();
        outcome = {DownloadResult::interrupted, part_path_,
                   "interrupted; " + part_path_ + " is kept for the next try"};
        return false;
      }
      DWORD read = 0;
      if (!WinHttpReadData(answer.request.get(), buffer.get(), kReadBufferSize, &read)) {
        const DWORD error = GetLastError();
        progress.abandoned();
        outcome = kept_part(error_phrase(error) + " after " + std::to_string(received) + " bytes");
        return false;
      }
      if (read == 0) break;
      if (!write_all(part.get(), buffer.get(), read)) {
        progress.abandoned();
        outcome = failed(errno_phrase("write", part_path_));
        return false;
      }
      received += read;
      progress.update(received);
    }
    if (plan.total && received != *plan.total) {
      progress.abandoned();
      outcome = kept_part("the body ended after " + std::to_string(received) + " of " +
                          std::to_string(*plan.total) + " bytes");
      return false;
    }
    if (fsync(part.get()) != 0 || !part.close()) {
      progress.abandoned();
      outcome = failed(errno_phrase("sync", part_path_));
      return false;
    }
    progress.saved(received);
    return true;
  }

  std::string describe(const std::string& what) const {
    return part_path_.substr(0, part_path_.size() - std::strlen(kPartSuffix)) + ": " + what;
  }

  DownloadOutcome kept_part(const std::string& what) const {
    return failed(describe(what + "; " + part_path_ + " is kept for the next try"));
  }

  DownloadOutcome failed(std::string reason) const {
    return {DownloadResult::failed, part_path_, std::move(reason)};
  }

  const SongEntry& entry_;
  const DownloadOptions& options_;
  std::string folder_;
  std::string part_path_, final_path_;
};

void complain(const std::string& reason) {
  const std::string line = "songsearch: " + reason + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

DownloadOutcome download_song(const SongEntry& entry, const DownloadOptions& options) {
  return SongDownload(entry, options).run();
}

int download_songs(std::span<const SongEntry* const> entries, const DownloadOptions& options) {
  const InterruptNoted interrupts;
  int status = kDownloadsSaved;
  for (const SongEntry* entry : entries) {
    const DownloadOutcome outcome = download_song(*entry, options);
    if (outcome.result == DownloadResult::saved) continue;
    complain(outcome.reason);
    if (outcome.result == DownloadResult::interrupted) return kDownloadInterrupted;
    status = kDownloadFailed;
  }
  return status;
}

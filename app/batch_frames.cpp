#include "app/batch_frames.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

bool send_all(int socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool receive_all(int socket, char* into, std::size_t size) {
  while (size > 0) {
    const ssize_t received = ::recv(socket, into, size, 0);
    if (received < 0 && errno == EINTR) continue;
    if (received <= 0) return false;
    into += received;
    size -= static_cast<std::size_t>(received);
  }
  return true;
}

void append_u32(std::string* to, std::uint32_t value) {
  char bytes[sizeof value];
  std::memcpy(bytes, &value, sizeof value);
  to->append(bytes, sizeof value);
}

// Takes a 32-bit value off the front of `from`; false when it is too short.
bool take_u32(std::string_view* from, std::uint32_t* value) {
  if (from->size() < sizeof *value) return false;
  std::memcpy(value, from->data(), sizeof *value);
  from->remove_prefix(sizeof *value);
  return true;
}

}  // namespace

bool write_frame(int socket, std::string_view payload) {
  if (payload.size() > kLargestFrame) return false;
  std::string frame;
  frame.reserve(sizeof(std::uint32_t) + payload.size());
  append_u32(&frame, static_cast<std::uint32_t>(payload.size()));
  frame.append(payload);
  return send_all(socket, frame);
}

std::optional<std::string> read_frame(int socket) {
  std::uint32_t length = 0;
  if (!receive_all(socket, reinterpret_cast<char*>(&length), sizeof length)) return std::nullopt;
  if (length > kLargestFrame) return std::nullopt;
  std::string payload(length, '\0');
  if (!receive_all(socket, payload.data(), payload.size())) return std::nullopt;
  return payload;
}

// The status, the output's length, the output, then the error line.
std::string encode_report(const SearchReport& report) {
  std::string payload;
  append_u32(&payload, static_cast<std::uint32_t>(report.status));
  append_u32(&payload, static_cast<std::uint32_t>(report.output.size()));
  payload.append(report.output);
  payload.append(report.error);
  return payload;
}

std::optional<SearchReport> decode_report(std::string_view payload) {
  std::uint32_t status = 0, output_size = 0;
  if (!take_u32(&payload, &status) || !take_u32(&payload, &output_size) ||
      output_size > payload.size())
    return std::nullopt;
  SearchReport report;
  report.status = static_cast<int>(status);
  report.output = std::string(payload.substr(0, output_size));
  report.error = std::string(payload.substr(output_size));
  return report;
}

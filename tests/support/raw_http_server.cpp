#include "tests/support/raw_http_server.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace test_support {

namespace {

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

std::string ReceivedRequest::request_line() const {
  return head.substr(0, head.find("\r\n"));
}

std::string ReceivedRequest::target() const {
  const std::string line = request_line();
  const std::size_t first = line.find(' ');
  if (first == std::string::npos) return {};
  const std::size_t second = line.find(' ', first + 1);
  return line.substr(first + 1,
                     second == std::string::npos ? std::string::npos : second - first - 1);
}

std::optional<std::string> ReceivedRequest::header(std::string_view name) const {
  std::string_view rest(head);
  rest.remove_prefix(std::min(rest.size(), rest.find("\r\n") + 2));  // the request line
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find("\r\n"), rest.size());
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(rest.size(), end + 2));
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && equals_ignoring_case(line.substr(0, colon), name))
      return std::string(trim(line.substr(colon + 1)));
  }
  return std::nullopt;
}

bool read_request(Socket& socket, std::string* pending, ReceivedRequest* request) {
  std::size_t head_end;
  while ((head_end = pending->find("\r\n\r\n")) == std::string::npos) {
    if (!socket.receive_some(pending)) return false;
  }
  request->head = pending->substr(0, head_end + 4);
  pending->erase(0, head_end + 4);
  const std::optional<std::string> length = request->header("Content-Length");
  const std::size_t body_size = length ? std::strtoull(length->c_str(), nullptr, 10) : 0;
  while (pending->size() < body_size) {
    if (!socket.receive_some(pending)) return false;
  }
  request->body = pending->substr(0, body_size);
  pending->erase(0, body_size);
  return true;
}

std::string http_response(std::string_view status, std::string_view header_lines,
                          std::string_view body) {
  std::string response = "HTTP/1.1 ";
  response.append(status).append("\r\n").append(header_lines);
  response.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n\r\n");
  response.append(body);
  return response;
}

RawHttpServer::RawHttpServer(Handler handler, std::string address)
    : handler_(std::move(handler)),
      listener_([this](Socket& socket) { serve(socket); }, std::move(address)) {}

std::string RawHttpServer::url(std::string_view path) const {
  return "http://" + authority() + std::string(path);
}

std::string RawHttpServer::authority() const {
  return listener_.address() + ":" + std::to_string(listener_.port());
}

std::vector<ReceivedRequest> RawHttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void RawHttpServer::serve(Socket& socket) {
  std::string pending;
  ReceivedRequest request;
  while (socket.is_open() && read_request(socket, &pending, &request)) {
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    handler_(request, socket);
    const std::optional<std::string> connection = request.header("Connection");
    if (connection && equals_ignoring_case(*connection, "close")) socket.close();
  }
}

RawHttpServer::Handler answer_with(std::string response) {
  return [response = std::move(response)](const ReceivedRequest&, Socket& socket) {
    socket.send(response);
  };
}

std::string head_of_size(std::size_t size) {
  std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n";
  while (head.size() + 2 < size) {
    const std::size_t room = size - head.size() - 2;  // what is left before the empty line
    const std::size_t line = std::min<std::size_t>(room, 1000);
    if (line < 5) {  // too short for "X:" and CR LF: widen the previous line instead
      head.insert(head.size() - 2, std::string(room, 'x'));
      break;
    }
    head += "X:" + std::string(line - 4, 'v') + "\r\n";
  }
  return head + "\r\n";
}

}  // namespace test_support

#include "support/http_client.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace tavrix::test {

std::string HttpReply::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (::strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return "";
}

int HttpReply::count(const std::string& name) const {
  int n = 0;
  for (const auto& entry : headers) n += ::strcasecmp(entry.first.c_str(), name.c_str()) == 0;
  return n;
}

int free_port() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

int connect_to(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

namespace {

bool send_all(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Parses head and Content-Length body out of `raw` once complete.
bool parse(const std::string& raw, HttpReply& reply, size_t& consumed) {
  size_t head_end = raw.find("\r\n\r\n");
  if (head_end == std::string::npos) return false;
  reply = HttpReply{};
  size_t line_end = raw.find("\r\n");
  reply.status = std::atoi(raw.substr(9, 3).c_str());
  size_t pos = line_end + 2;
  while (pos < head_end) {
    size_t eol = raw.find("\r\n", pos);
    std::string line = raw.substr(pos, eol - pos);
    size_t colon = line.find(':');
    std::string value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
    reply.headers.emplace_back(line.substr(0, colon), value);
    pos = eol + 2;
  }
  size_t length = static_cast<size_t>(std::atoll(reply.header("Content-Length").c_str()));
  if (reply.status == 100) length = 0;
  if (raw.size() < head_end + 4 + length) return false;
  reply.body = raw.substr(head_end + 4, length);
  consumed = head_end + 4 + length;
  return true;
}

}  // namespace

HttpReply read_reply(int fd, int timeout_ms) {
  std::string raw;
  HttpReply reply;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  char buf[65536];
  for (;;) {
    size_t consumed = 0;
    if (parse(raw, reply, consumed)) return reply;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return HttpReply{};
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return HttpReply{};
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return HttpReply{};
    raw.append(buf, static_cast<size_t>(n));
  }
}

HttpReply send_raw(int port, const std::string& raw) {
  int fd = connect_to(port);
  if (fd < 0) return HttpReply{};
  HttpReply reply;
  // A server may answer before it has read everything (a refused body), so the
  // answer is read even when sending stopped short.
  send_all(fd, raw);
  reply = read_reply(fd);
  ::close(fd);
  return reply;
}

HttpReply request(int port, const std::string& method, const std::string& target, const std::string& body,
                  const std::vector<std::string>& extra_headers) {
  std::string raw = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
  for (const auto& h : extra_headers) raw += h + "\r\n";
  if (!body.empty() || method == "POST") raw += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  raw += "\r\n" + body;
  return send_raw(port, raw);
}

}  // namespace tavrix::test

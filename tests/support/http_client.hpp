#pragma once
// A deliberately plain HTTP/1.1 client for tests: raw bytes in, the answer
// parsed just enough to check status, header order and body.

#include <string>
#include <utility>
#include <vector>

namespace tavrix::test {

struct HttpReply {
  int status = 0;  // 0 when no answer came
  std::vector<std::pair<std::string, std::string>> headers;  // in the order received
  std::string body;
  // The value of the first header of that name (case-insensitive), or "".
  std::string header(const std::string& name) const;
  // How many headers of that name arrived.
  int count(const std::string& name) const;
};

// A free TCP port on the loopback interface, as the kernel hands one out.
int free_port();

// Connects to 127.0.0.1:port; -1 when nothing listens.
int connect_to(int port);

// Sends `raw` as is on a new connection and reads one answer.
HttpReply send_raw(int port, const std::string& raw);

// Reads one answer from an open connection (waiting at most `timeout_ms`).
HttpReply read_reply(int fd, int timeout_ms = 10000);

// One request on a new connection: `method` `target`, a body when not empty,
// extra header lines such as "Sec-Fetch-Site: cross-site".
HttpReply request(int port, const std::string& method, const std::string& target, const std::string& body = "",
                  const std::vector<std::string>& extra_headers = {});

}  // namespace tavrix::test

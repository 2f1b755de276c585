#include "cli/client.hpp"

#include "cli/console.hpp"
#include "cli/handlers.hpp"
#include "devices/records.hpp"
#include "platform/text.hpp"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <fmt/format.h>

namespace tavrix::cli {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Json = nlohmann::json;

namespace {

std::string describe(const char* stage, const beast::error_code& ec) {
  if (ec == beast::error::timeout) {
    return fmt::format("{}: timed out after {} s", stage, kClientTimeout.count());
  }
  return fmt::format("{}: {}", stage, ec.message());
}

// The body as JSON; a body that does not parse counts as an empty object.
Json json_or_empty_object(const std::string& body) {
  Json value = Json::parse(body, nullptr, false);
  return value.is_discarded() ? Json::object() : value;
}

}  // namespace

std::expected<HttpAnswer, std::string> http_exchange(std::uint16_t port, const std::string& method,
                                                     const std::string& path, const std::string& json_body) {
  asio::io_context io;
  beast::tcp_stream stream(io);
  http::request<http::string_body> req(http::string_to_verb(method), path, 11);
  req.set(http::field::host, fmt::format("127.0.0.1:{}", port));
  if (!json_body.empty()) {
    req.set(http::field::content_type, "application/json");
    req.body() = json_body;
  }
  req.prepare_payload();

  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(64 * 1024 * 1024);
  std::string failure;
  stream.expires_after(kClientTimeout);
  stream.async_connect(tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), port), [&](beast::error_code ec) {
    if (ec) {
      failure = describe("connect", ec);
      return;
    }
    http::async_write(stream, req, [&](beast::error_code write_ec, std::size_t) {
      if (write_ec) {
        failure = describe("send request", write_ec);
        return;
      }
      http::async_read(stream, buffer, parser, [&](beast::error_code read_ec, std::size_t) {
        if (read_ec) failure = describe("read response", read_ec);
      });
    });
  });
  io.run();
  if (!failure.empty()) {
    return std::unexpected(failure);
  }
  return HttpAnswer{parser.get().result_int(), std::move(parser.get().body())};
}

std::expected<Json, std::string> dashboard_post(std::uint16_t port, const std::string& path, const Json& body) {
  auto answer = http_exchange(port, "POST", path, body.dump(-1, ' ', false, Json::error_handler_t::replace));
  if (!answer) {
    return std::unexpected(fmt::format(
        "could not reach the dashboard on port {} ({}). Start it with: tavrix-usb app", port, answer.error()));
  }
  if (answer->status >= 400) {
    const std::string error = devices::text_member(json_or_empty_object(answer->body), "error").value_or("");
    return std::unexpected(fmt::format("server returned {}: {}", answer->status, error));
  }
  try {
    return Json::parse(answer->body);
  } catch (const Json::parse_error& e) {
    return std::unexpected(fmt::format("parse response: {}", platform::library_error_text(e.what())));
  }
}

namespace {

void print_agent_command(const Json& answer) {
  if (auto command = devices::text_member(answer, "command")) {
    print_line("  agent command: " + *command);
  }
}

}  // namespace

Outcome run_mount(const MountArgs& args) {
  auto answer = dashboard_post(args.port, "/mount", Json{{"device_id", args.device_id}, {"target_id", args.target_id}});
  if (!answer) {
    return std::unexpected(answer.error());
  }
  print_ok(fmt::format("mounted {} → {}", args.device_id, args.target_id));
  print_agent_command(*answer);
  return {};
}

Outcome run_unmount(const UnmountArgs& args) {
  auto answer = dashboard_post(args.port, "/unmount", Json{{"device_id", args.device_id}});
  if (!answer) {
    return std::unexpected(answer.error());
  }
  print_ok(fmt::format("unmounted {}", args.device_id));
  print_agent_command(*answer);
  print_hint("see `tavrix-usb list` or the dashboard for the updated mount state");
  return {};
}

Outcome run_health(const HealthArgs& args) {
  auto answer = http_exchange(args.port, "GET", "/health", "");
  if (!answer || answer->status >= 400) {
    const std::string error = answer ? fmt::format("status {}", answer->status) : answer.error();
    return std::unexpected(
        fmt::format("no dashboard on port {} ({}). Start it with: tavrix-usb app", args.port, error));
  }
  const Json doc = json_or_empty_object(answer->body);
  std::uint64_t devices = 0;
  if (doc.is_object()) {
    if (auto it = doc.find("devices"); it != doc.end() && it->is_number_unsigned()) {
      devices = it->get<std::uint64_t>();
    } else if (it != doc.end() && it->is_number_integer() && it->get<std::int64_t>() >= 0) {
      devices = static_cast<std::uint64_t>(it->get<std::int64_t>());
    }
  }
  print_ok(fmt::format("dashboard healthy on port {} (devices: {})", args.port, devices));
  return {};
}

}  // namespace tavrix::cli

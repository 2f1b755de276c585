#include "app/handlers/handlers.hpp"
#include "devices/plans.hpp"
#include "platform/clock.hpp"

#include <fmt/format.h>

#include <optional>

namespace tavrix::app {

namespace {

using devices::text_member;

std::string text_or_empty(const Json& object, const char* key) { return text_member(object, key).value_or(""); }

Json blocked(const std::string& reason) { return Json{{"blocked", true}, {"error", reason}}; }

// The log entry every accepted action appends; `mechanism` only for mounts.
Json log_entry(const std::string& op, const std::string& device_id, const Json& device, const std::string& target,
               const std::string& command, const char* status) {
  auto name = device.find("name");
  return Json{{"command", command},
              {"device", name != device.end() ? *name : Json(nullptr)},
              {"device_id", device_id},
              {"op", op},
              {"status", status},
              {"target", target},
              {"ts", platform::now_ms()}};
}

// The common head of every action: a readable body naming a known device.
struct Subject {
  std::string device_id;
  Json body;
  Json device;
};

std::expected<Subject, Response> find_subject(const Request& request, AppState& state,
                                              const char* second_required = nullptr) {
  auto body = read_json_body(request);
  if (!body) {
    return std::unexpected(error_response(400, body.error()));
  }
  auto device_id = text_member(*body, "device_id");
  if (!device_id) {
    return std::unexpected(error_response(400, "device_id required"));
  }
  if (second_required != nullptr && !text_member(*body, second_required)) {
    return std::unexpected(error_response(400, fmt::format("{} required", second_required)));
  }
  const Json doc = snapshot(state);
  auto device = devices::find_device(doc, *device_id);
  if (!device) {
    return std::unexpected(error_response(404, fmt::format("unknown device: {}", *device_id)));
  }
  return Subject{std::move(*device_id), std::move(*body), std::move(*device)};
}

}  // namespace

Response handle_mount(const Request& request, AppState& state) {
  auto subject = find_subject(request, state, "target_id");
  if (!subject) {
    return subject.error();
  }
  const std::string& device_id = subject->device_id;
  const Json& device = subject->device;
  const std::string target_id = *text_member(subject->body, "target_id");

  const Json* target = nullptr;
  if (auto targets = device.find("targets"); targets != device.end() && targets->is_array()) {
    for (const Json& t : *targets) {
      if (text_member(t, "host_id") == target_id) {
        target = &t;
        break;
      }
    }
  }
  if (target == nullptr) {
    return error_response(400, fmt::format("{} cannot be mounted on {} (not in routing matrix)", device_id, target_id));
  }
  if (const std::string reason = text_or_empty(*target, "blocked_reason"); !reason.empty()) {
    return json_response(409, blocked(reason));
  }
  const std::string mechanism = text_member(*target, "mechanism").value_or("native");
  const std::string command = devices::plan_command("mount", device, target_id, mechanism);

  state.mounts.with([&](devices::MountOverrides& mounts) { mounts[device_id] = target_id; });
  Json entry = log_entry("mount", device_id, device, target_id, command, "applied");
  entry["mechanism"] = mechanism;
  log_action(state, std::move(entry));
  return json_response(200, Json{{"command", command},
                                 {"device_id", device_id},
                                 {"mechanism", mechanism},
                                 {"mounted_on", target_id},
                                 {"ok", true}});
}

Response handle_unmount(const Request& request, AppState& state) {
  auto subject = find_subject(request, state);
  if (!subject) {
    return subject.error();
  }
  const std::string& device_id = subject->device_id;
  const Json& device = subject->device;
  const std::string mounted = text_or_empty(device, "mounted_on");
  if (mounted.empty()) {
    return error_response(409, "device is not mounted");
  }
  const std::string command = devices::plan_command("unmount", device, mounted, "");
  state.mounts.with([&](devices::MountOverrides& mounts) { mounts[device_id] = std::nullopt; });
  log_action(state, log_entry("unmount", device_id, device, mounted, command, "applied"));
  return json_response(200, Json{{"command", command}, {"device_id", device_id}, {"ok", true}});
}

Response handle_device_op(const Request& request, AppState& state, const std::string& op) {
  auto subject = find_subject(request, state);
  if (!subject) {
    return subject.error();
  }
  const std::string& device_id = subject->device_id;
  const Json& device = subject->device;
  Json caps = Json::object();
  if (auto it = device.find("capabilities"); it != device.end()) {
    caps = *it;
  }
  auto allowed = caps.is_object() ? caps.find(op) : caps.end();
  if (!caps.is_object() || allowed == caps.end() || *allowed != true) {
    return json_response(409, blocked(text_member(caps, "reason").value_or(
                                  "not available for this device in its current state")));
  }
  const std::string mounted = text_or_empty(device, "mounted_on");
  const std::string command = devices::plan_command(op, device, mounted, "");
  log_action(state, log_entry(op, device_id, device, mounted, command, "queued"));
  return json_response(
      200, Json{{"command", command}, {"device_id", device_id}, {"ok", true}, {"op", op}, {"status", "queued"}});
}

}  // namespace tavrix::app

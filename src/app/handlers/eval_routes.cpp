#include "app/handlers/handlers.hpp"
#include "platform/clock.hpp"

#include <string_view>

namespace tavrix::app {

Response handle_eval_post(const Request& request, AppState& state) {
  auto body = read_json_body(request);
  if (!body) {
    return error_response(400, body.error());
  }
  EvalJob job{"ev" + platform::now_ns_decimal(), devices::text_member(*body, "code").value_or("")};
  Json answer = Json{{"id", job.id}};
  state.eval_pending.set(std::move(job));
  return json_response(200, answer);
}

Response handle_eval_pending(AppState& state) {
  auto job = state.eval_pending.with([](std::optional<EvalJob>& slot) {
    std::optional<EvalJob> taken = std::move(slot);
    slot.reset();
    return taken;
  });
  if (!job) {
    return json_response(200, Json::object());
  }
  return json_response(200, Json{{"code", job->code}, {"id", job->id}});
}

Response handle_eval_result(const Request& request, AppState& state) {
  // The id is what remains once every leading "/eval/" and then every
  // trailing "/result" is taken off; any text is accepted.
  const std::string path = request.path();
  std::string_view id = path;
  while (id.starts_with("/eval/")) id.remove_prefix(6);
  while (id.ends_with("/result")) id.remove_suffix(7);

  auto body = read_json_body(request);
  if (!body) {
    return error_response(400, body.error());
  }
  Json result = nullptr;
  if (body->is_object()) {
    if (auto it = body->find("result"); it != body->end()) {
      result = std::move(*it);
    }
  }
  state.eval_results.with([&](std::map<std::string, Json>& results) {
    results.insert_or_assign(std::string(id), std::move(result));
  });
  return json_response(200, Json{{"ok", true}});
}

}  // namespace tavrix::app

#include "app/tab/workspace_tab.hpp"

#include "platform/base64.hpp"
#include "platform/process.hpp"
#include "platform/text.hpp"

#include <fmt/format.h>

#include <cstdlib>
#include <utility>
#include <vector>

namespace tavrix::tab {

namespace {

using Json = nlohmann::json;

constexpr const char* kTool = "tavrix-cli";

struct LeafPanel {
  std::string id;
  bool excluded = false;
};

// A leaf already holding one of these panel types is not where the dashboard
// belongs, if another leaf is free.
bool holds_excluded_tab(const Json& leaf) {
  auto tabs = leaf.find("tabs");
  if (tabs == leaf.end() || !tabs->is_array()) {
    return false;
  }
  for (const Json& tab : *tabs) {
    if (!tab.is_object()) continue;
    auto type = tab.find("panelType");
    if (type == tab.end() || !type->is_string()) continue;
    const auto& text = type->get_ref<const std::string&>();
    if (text.find("eeee-4000") != std::string::npos || text.find("0030-4000") != std::string::npos) {
      return true;
    }
  }
  return false;
}

// Depth-first, a node before its children, with an explicit stack so a deeply
// nested document cannot exhaust the call stack.
std::vector<LeafPanel> collect_leaf_panels(const Json& root) {
  std::vector<LeafPanel> leaves;
  std::vector<const Json*> stack{&root};
  while (!stack.empty()) {
    const Json* node = stack.back();
    stack.pop_back();
    if (node->is_object()) {
      auto type = node->find("type");
      auto id = node->find("id");
      if (type != node->end() && *type == "leaf" && id != node->end() && id->is_string()) {
        leaves.push_back({id->get<std::string>(), holds_excluded_tab(*node)});
      }
    }
    if (node->is_structured()) {
      // Children pushed in reverse so the first (lowest key) is visited first.
      std::vector<const Json*> children;
      for (const Json& child : *node) children.push_back(&child);
      for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(*it);
    }
  }
  return leaves;
}

std::string stderr_text(const platform::ProcessResult& result) { return platform::decode_utf8_lossy(result.err); }

}  // namespace

std::string workspace_tab_url(std::uint16_t port) {
  const char* proxy = std::getenv("VSCODE_PROXY_URI");
  if (proxy == nullptr || !platform::is_valid_utf8(proxy)) {
    return fmt::format("http://127.0.0.1:{}/", port);
  }
  std::string url = proxy;
  const std::string placeholder = "{{port}}";
  const std::string value = std::to_string(port);
  for (size_t at = url.find(placeholder); at != std::string::npos; at = url.find(placeholder, at + value.size())) {
    url.replace(at, placeholder.size(), value);
  }
  return url;
}

std::optional<std::string> choose_panel(const Json& workspace) {
  const std::vector<LeafPanel> leaves = collect_leaf_panels(workspace);
  for (const LeafPanel& leaf : leaves) {
    if (!leaf.excluded) return leaf.id;
  }
  if (workspace.is_object()) {
    if (auto focused = workspace.find("focusedPanelId"); focused != workspace.end() && focused->is_string()) {
      return focused->get<std::string>();
    }
  }
  if (!leaves.empty()) return leaves.front().id;
  return std::nullopt;
}

std::string icon_data_uri(std::string_view svg) {
  return "data:image/svg+xml;base64," + platform::base64_encode(svg);
}

std::expected<void, std::string> open_workspace_tab(const std::string& tab_name, const std::string& url,
                                                    std::string_view icon) {
  auto layout = platform::run_program(kTool, {"orvane", "workspace", "get"});
  if (!layout) {
    return std::unexpected(fmt::format("tavrix-cli workspace get: {}", layout.error()));
  }
  if (!layout->success()) {
    return std::unexpected(fmt::format("tavrix-cli workspace get failed: {}", stderr_text(*layout)));
  }
  Json workspace;
  try {
    workspace = Json::parse(layout->out);
  } catch (const Json::parse_error& e) {
    return std::unexpected(fmt::format("parse workspace JSON: {}", platform::library_error_text(e.what())));
  }
  auto panel = choose_panel(workspace);
  if (!panel) {
    return std::unexpected("no panels found in workspace");
  }
  const std::string initial_state = Json{{"url", url}}.dump(-1, ' ', false, Json::error_handler_t::replace);
  auto added = platform::run_program(kTool, {"orvane", "workspace", "add-tab", "--panel-id", *panel, "--panel-type",
                                             kPanelType, "--display-name", tab_name, "--display-icon",
                                             icon_data_uri(icon), "--initial-state", initial_state});
  if (!added) {
    return std::unexpected(fmt::format("tavrix-cli add-tab: {}", added.error()));
  }
  if (!added->success()) {
    return std::unexpected(fmt::format("tavrix-cli add-tab failed: {}", stderr_text(*added)));
  }
  return {};
}

std::expected<void, std::string> close_workspace_tab(const std::string& tab_name) {
  auto removed = platform::run_program(kTool, {"orvane", "workspace", "remove-tab", "--name", tab_name});
  if (!removed) {
    return std::unexpected(fmt::format("tavrix-cli remove-tab: {}", removed.error()));
  }
  if (!removed->success()) {
    return std::unexpected(fmt::format("tavrix-cli remove-tab failed: {}", stderr_text(*removed)));
  }
  return {};
}

}  // namespace tavrix::tab

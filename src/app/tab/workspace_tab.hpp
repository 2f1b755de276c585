#pragma once
// The dashboard's webview tab in the Orvane workspace, driven through the
// workspace tool `tavrix-cli`.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace tavrix::tab {

inline constexpr const char* kPanelType = "tavrix/a1b2c3d4-0031-4000-a000-000000000031";

// The address the tab shows: VSCODE_PROXY_URI with every "{{port}}" replaced,
// or http://127.0.0.1:{port}/ when the variable is unset or not valid text.
std::string workspace_tab_url(std::uint16_t port);

// The panel a new tab goes into: the first leaf panel that holds no excluded
// tab, else focusedPanelId, else the first leaf panel; nothing when none.
// Leaf panels are found depth-first, object members in key order.
std::optional<std::string> choose_panel(const nlohmann::json& workspace);

// "data:image/svg+xml;base64,..." for the icon bytes.
std::string icon_data_uri(std::string_view svg);

// Reads the workspace, picks a panel and adds the tab there.
std::expected<void, std::string> open_workspace_tab(const std::string& tab_name, const std::string& url,
                                                    std::string_view icon);

// Removes the tab of that name.
std::expected<void, std::string> close_workspace_tab(const std::string& tab_name);

}  // namespace tavrix::tab

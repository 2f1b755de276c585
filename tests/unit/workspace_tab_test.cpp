#include "app/tab/workspace_tab.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tavrix::tab {
namespace {

using Json = nlohmann::json;

TEST(ChoosePanel, WalksDepthFirstInKeyOrder) {
  const std::pair<const char*, const char*> cases[] = {
      // The excluded leaf only when nothing better: focused panel first.
      {R"({"focusedPanelId":"f","l":{"type":"leaf","id":"busy","tabs":[{"panelType":"a-0030-4000-b"}]}})", "f"},
      {R"({"l":{"type":"leaf","id":"busy","tabs":[{"panelType":"eeee-4000"}]}})", "busy"},
      // Members in key order, not document order: "a" before "b".
      {R"({"b":{"type":"leaf","id":"B"},"a":{"type":"leaf","id":"A"}})", "A"},
      // A node before its children; arrays in order.
      {R"([{"type":"leaf","id":"outer","x":{"type":"leaf","id":"inner"}},{"type":"leaf","id":"later"}])", "outer"},
      {R"([{"z":{"type":"leaf","id":"deep"}},{"type":"leaf","id":"shallow"}])", "deep"},
      // Leaves need a string id and the exact type; tabs without a string panelType do not exclude.
      {R"([{"type":"leaf","id":1},{"type":"Leaf","id":"x"},{"type":"leaf","id":"ok","tabs":[{"panelType":7}]}])", "ok"},
      {R"({"focusedPanelId":"f","l":{"type":"leaf","id":"free","tabs":[{"panelType":"other"}]}})", "free"},
  };
  for (const auto& [workspace, expected] : cases) {
    SCOPED_TRACE(workspace);
    EXPECT_EQ(choose_panel(Json::parse(workspace)), std::optional<std::string>(expected));
  }
  EXPECT_EQ(choose_panel(Json::parse(R"({"focusedPanelId":3,"x":[{"type":"node"}]})")), std::nullopt);
  EXPECT_EQ(choose_panel(Json::parse("42")), std::nullopt);
}

TEST(ChoosePanel, DeepDocumentsDoNotExhaustTheStack) {
  Json doc = Json{{"type", "leaf"}, {"id", "bottom"}};
  for (int i = 0; i < 100000; ++i) {
    Json wrapper = Json::array();
    wrapper.push_back(std::move(doc));
    doc = std::move(wrapper);
  }
  EXPECT_EQ(choose_panel(doc), std::optional<std::string>("bottom"));
}

TEST(WorkspaceTabUrl, ProxyTemplateOrLoopback) {
  ::unsetenv("VSCODE_PROXY_URI");
  EXPECT_EQ(workspace_tab_url(8896), "http://127.0.0.1:8896/");
  const std::pair<const char*, const char*> cases[] = {
      {"https://x/proxy/{{port}}/", "https://x/proxy/8896/"},
      {"{{port}}{{port}}", "88968896"},
      {"https://fixed/", "https://fixed/"},
      {"", ""},
      {"a{{port}", "a{{port}"},
  };
  for (const auto& [proxy, expected] : cases) {
    ::setenv("VSCODE_PROXY_URI", proxy, 1);
    EXPECT_EQ(workspace_tab_url(8896), expected) << proxy;
  }
  ::setenv("VSCODE_PROXY_URI", "bad\xff", 1);
  EXPECT_EQ(workspace_tab_url(1), "http://127.0.0.1:1/");
  ::unsetenv("VSCODE_PROXY_URI");
}

TEST(IconDataUri, IsBase64OfTheBytes) { EXPECT_EQ(icon_data_uri("<svg/>"), "data:image/svg+xml;base64,PHN2Zy8+"); }

}  // namespace
}  // namespace tavrix::tab

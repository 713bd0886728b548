#include "platform/desktop_session.h"

#include <gtest/gtest.h>

#include <map>

namespace orvane {
namespace {

EnvironmentLookup Env(std::map<std::string, std::string> values) {
  return [values](const char* name) {
    auto it = values.find(name);
    return it == values.end() ? std::string() : it->second;
  };
}

TEST(DesktopSession, WaylandPrefersXWaylandUnlessThePlatformWasChosen) {
  EXPECT_EQ(PreferredQtPlatform(Env({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}), false), "xcb");
  EXPECT_EQ(PreferredQtPlatform(Env({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":1"}}), false), "xcb");
  // No XWayland: Qt's own choice.
  EXPECT_EQ(PreferredQtPlatform(Env({{"WAYLAND_DISPLAY", "wayland-0"}}), false), "");
  // The user chose.
  EXPECT_EQ(PreferredQtPlatform(Env({{"WAYLAND_DISPLAY", "w"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}}), false), "");
  EXPECT_EQ(PreferredQtPlatform(Env({{"WAYLAND_DISPLAY", "w"}, {"DISPLAY", ":0"}}), true), "");
  // An X session stays as it is.
  EXPECT_EQ(PreferredQtPlatform(Env({{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "x11"}}), false), "");
}

TEST(DesktopSession, ADisplayOrAPlatformWithoutOne) {
  EXPECT_FALSE(DisplayAvailable(Env({})));
  EXPECT_TRUE(DisplayAvailable(Env({{"DISPLAY", ":0"}})));
  EXPECT_TRUE(DisplayAvailable(Env({{"WAYLAND_DISPLAY", "wayland-0"}})));
  EXPECT_TRUE(DisplayAvailable(Env({{"QT_QPA_PLATFORM", "offscreen"}})));
  EXPECT_FALSE(DisplayAvailable(Env({{"QT_QPA_PLATFORM", "xcb"}})));
}

}  // namespace
}  // namespace orvane

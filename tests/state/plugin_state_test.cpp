#include "state/plugin_state.h"

#include <gtest/gtest.h>

namespace cvimp {
namespace {

TEST(PluginState, FreshStateHoldsTheInitialOptionsAndTheCommandResetsOnlyThem) {
  PluginState state;
  EXPECT_EQ(state.importWindow, nullptr);
  EXPECT_EQ(state.aboutWindow, nullptr);
  EXPECT_TRUE(state.scenePath.isNull());
  EXPECT_TRUE(state.importMesh);
  EXPECT_TRUE(state.importCamera);
  EXPECT_TRUE(state.importMaterial);
  EXPECT_TRUE(state.importLight);
  EXPECT_TRUE(state.importAnimation);
  EXPECT_FALSE(state.quadrifyMesh);
  EXPECT_FALSE(state.frameworkStarted);

  state.quadrifyMesh = true;
  state.importMaterial = false;
  state.frameworkStarted = true;
  state.scenePath = u"/d/vr.vrscene";
  state.resetImportOptions();
  EXPECT_FALSE(state.quadrifyMesh);
  EXPECT_TRUE(state.importMaterial);
  // The command resets the options only.
  EXPECT_TRUE(state.frameworkStarted);
  EXPECT_EQ(state.scenePath, WStr(u"/d/vr.vrscene"));
}

}  // namespace
}  // namespace cvimp

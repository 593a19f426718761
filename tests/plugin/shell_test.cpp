// cvimp.gup started by the host as 3ds Max starts it, its menu and its four
// commands run by shortcut and by menu, and Stop. The test executable is the
// host: it exports the stand-in host, from which the module takes its host
// symbols. Windows need a display (make test provides Xvfb).
#include "host/max.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugin/cvimp_gup.h"
#include "host/stand_in.h"
#include "host/gui/plugin_host.h"
#include "host/gui/window_host.h"
#include "host/gui/windows.h"
#include "resources/resources.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace {

using cvimp::test::ScopedEnv;
using cvimp::test::TempDir;

constexpr ActionTableId kTable = 0x2E932E12;
const char* const kMenu = "Casavia (&K)";

// The opener the shell uses records what it was asked to open.
class RecordingOpener {
 public:
  RecordingOpener() {
    script_ =
        dir_.write("open.sh", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"" + (dir_.path() / "opened").string() + "\"\n");
    std::filesystem::permissions(script_, std::filesystem::perms::owner_all);
    host::setDesktopOpener(script_);
  }
  ~RecordingOpener() { host::useDefaultDesktopOpener(); }
  RecordingOpener(const RecordingOpener&) = delete;
  RecordingOpener& operator=(const RecordingOpener&) = delete;

  std::string opened() const {
    host::waitForLaunchedPrograms();
    return cvimp::test::readFile(dir_.path() / "opened");
  }

 private:
  TempDir dir_;
  std::string script_;
};

std::vector<std::u16string> dialogTitles() {
  std::vector<std::u16string> titles;
  for (HWND dialog : host::dialogs()) titles.push_back(host::windowState(dialog)->title);
  return titles;
}

// Titles of the main menu bar, in order.
std::vector<std::string> barTitles() {
  IMenu* bar = GetCOREInterface()->GetMenuManager()->GetMainMenuBar();
  std::vector<std::string> titles;
  for (int i = 0; i < bar->NumItems(); ++i) titles.push_back(host::utf16ToUtf8(bar->GetItem(i)->GetTitle().str()));
  return titles;
}

class ShellTest : public cvimp::test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::setMessageBoxesAnswered(true);
    host::setDirectory(APP_DOWNLOAD_DIR, host::utf8ToUtf16(downloads.str()));
    // The module keeps its statics from one load to the next, among them
    // the table it built once; the reset forgot that table's context, which
    // a host that runs once never does.
    for (const ActionTable* table : host::actionTables()) {
      if (table->GetId() == kTable)
        GetCOREInterface()->GetActionManager()->RegisterActionContext(table->GetContextId(), u"cvimp");
    }
  }
  void TearDown() override {
    plugins.shutdown();
    HostTest::TearDown();
  }

  // The host's start-up with the module in its plug-in folder.
  CvimpGUP* start() {
    std::string error;
    EXPECT_TRUE(plugins.load(CVIMP_MODULE_PATH, error)) << error;
    if (plugins.plugins().empty() || plugins.plugins().back()->started.empty()) return nullptr;
    return static_cast<CvimpGUP*>(plugins.plugins().back()->started.front());
  }

  // The import window shows nothing from the network in tests.
  ScopedEnv page{"CVIMP_BROWSER_URL_MAP", "https://www.casavia.com/pub/site/custom/3dsmax=about:blank"};
  ScopedEnv testScene{"CVIMP_TEST_VRSCENE", nullptr};
  TempDir downloads;
  host::PluginHost plugins;
};

TEST_F(ShellTest, StartBuildsTheMenuWithTheFourCommandsInOrder) {
  const int updates = host::menuBarUpdates();
  CvimpGUP* gup = start();
  ASSERT_NE(gup, nullptr);
  EXPECT_TRUE(host::isTableActive(kTable));
  EXPECT_EQ(host::menuBarUpdates(), updates + 1);
  EXPECT_EQ(barTitles(), (std::vector<std::string>{"File", "Edit", "Tools", "Group", "Views", "Create", "Modifiers",
                                                   "Animation", "Rendering", kMenu, "Customize", "Scripting", "Help"}));
  IMenu* menu = GetCOREInterface()->GetMenuManager()->FindMenu(MSTR(u"Casavia (&K)"));
  ASSERT_NE(menu, nullptr);
  std::vector<std::pair<int, std::u16string>> items;
  for (int i = 0; i < menu->NumItems(); ++i)
    items.emplace_back(menu->GetItem(i)->GetActionCommandId(), menu->GetItem(i)->GetTitle().str());
  EXPECT_EQ(items, (std::vector<std::pair<int, std::u16string>>{
                       {40001, u"导入..."}, {40008, u"四边化已选择模型"}, {40006, u"帮助..."}, {40004, u"关于..."}}));
  // A fresh object, whatever the host did before it started.
  EXPECT_TRUE(gup->importMesh && gup->importCamera && gup->importMaterial && gup->importLight && gup->importAnimation);
  EXPECT_FALSE(gup->quadrifyMesh);
  EXPECT_EQ(gup->importWindow, nullptr);
}

class MenuPosition : public ShellTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(MenuPosition, TheMenuGoesBeforeTheLastThreeOfTheBar) {
  const auto [menus, position] = GetParam();
  IMenu* bar = GetCOREInterface()->GetMenuManager()->GetMainMenuBar();
  while (bar->NumItems() > menus) bar->RemoveItem(0);
  ASSERT_NE(start(), nullptr);
  ASSERT_EQ(bar->NumItems(), menus + 1);
  EXPECT_EQ(host::utf16ToUtf8(bar->GetItem(position)->GetTitle().str()), kMenu);
}

INSTANTIATE_TEST_SUITE_P(Bars, MenuPosition,
                         ::testing::Values(std::pair{0, 0}, std::pair{2, 0}, std::pair{3, 0}, std::pair{10, 7},
                                           std::pair{12, 9}));

TEST_F(ShellTest, StartReplacesTheMenuOfAnEarlierRun) {
  IMenuManager* menus = GetCOREInterface()->GetMenuManager();
  IMenu* earlier = GetIMenu();
  earlier->SetTitle(MSTR(u"Casavia (&K)"));
  ASSERT_TRUE(menus->RegisterMenu(earlier, 0));
  IMenuItem* opener = GetIMenuItem();
  opener->SetSubMenu(earlier);
  menus->GetMainMenuBar()->AddItem(opener, 9);

  host::journal().clear();
  ASSERT_NE(start(), nullptr);
  IMenu* current = menus->FindMenu(MSTR(u"Casavia (&K)"));
  ASSERT_NE(current, nullptr);
  EXPECT_NE(current, earlier);
  EXPECT_EQ(current->NumItems(), 4);
  const std::vector<std::string> titles = barTitles();
  EXPECT_EQ(std::count(titles.begin(), titles.end(), kMenu), 1);
  EXPECT_EQ(menus->GetMainMenuBar()->GetItem(9)->GetSubMenu(), current);
  // Taken off before the new one is registered.
  const std::vector<std::string> calls = host::journal().calls();
  const auto unregister = std::find(calls.begin(), calls.end(), "IMenuManager::UnRegisterMenu");
  const auto registration = std::find(calls.begin(), calls.end(), "IMenuManager::RegisterMenu");
  ASSERT_NE(unregister, calls.end());
  EXPECT_LT(unregister, registration);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "IMenuManager::UnRegisterMenu"), 1);
}

TEST_F(ShellTest, StartingAgainKeepsTheCallbackAndOneMenu) {
  CvimpGUP* gup = start();
  ASSERT_NE(gup, nullptr);
  const ActionCallback* callback = gup->actionCallback.get();
  gup->Stop();
  EXPECT_EQ(gup->Start(), GUPRESULT_KEEP);
  EXPECT_EQ(gup->actionCallback.get(), callback);
  EXPECT_TRUE(host::isTableActive(kTable));
  const std::vector<std::string> titles = barTitles();
  EXPECT_EQ(std::count(titles.begin(), titles.end(), kMenu), 1);
  EXPECT_EQ(titles.size(), 13u);
}

TEST_F(ShellTest, StartWithoutManagersStillKeepsThePlugIn) {
  host::setMenuManagerAvailable(false);
  CvimpGUP* gup = start();
  ASSERT_NE(gup, nullptr);
  host::setMenuManagerAvailable(true);
  // The commands work; the menu is missing.
  EXPECT_TRUE(host::isTableActive(kTable));
  EXPECT_EQ(GetCOREInterface()->GetMenuManager()->FindMenu(MSTR(u"Casavia (&K)")), nullptr);
  plugins.shutdown();

  freshHost();
  host::setActionManagerAvailable(false);
  gup = start();
  ASSERT_NE(gup, nullptr);
  EXPECT_EQ(gup->actionCallback, nullptr);
  host::setActionManagerAvailable(true);
  EXPECT_FALSE(host::isTableActive(kTable));
  EXPECT_EQ(GetCOREInterface()->GetMenuManager()->FindMenu(MSTR(u"Casavia (&K)")), nullptr);
}

// Each command, once by its shortcut and once from the menu.
class Command : public ShellTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool choose(const char* shortcut, const char* item) {
    return GetParam() ? host::pressShortcut(shortcut) : host::chooseMenuItem(std::string(kMenu) + "/" + item);
  }
};

INSTANTIATE_TEST_SUITE_P(ByShortcutAndMenu, Command, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Shortcut" : "Menu"; });

TEST_P(Command, ImportOpensOneWindowAndResetsTheOptionsEachTime) {
  CvimpGUP* gup = start();
  ASSERT_NE(gup, nullptr);
  gup->quadrifyMesh = true;
  gup->importMesh = false;
  ASSERT_TRUE(choose("Shift+K", "导入..."));
  EXPECT_EQ(dialogTitles(), std::vector<std::u16string>{u"导入"});
  ASSERT_NE(gup->importWindow, nullptr);
  EXPECT_TRUE(gup->frameworkStarted);
  EXPECT_TRUE(gup->importMesh);
  EXPECT_FALSE(gup->quadrifyMesh);

  const HWND window = gup->importWindow;
  gup->quadrifyMesh = true;
  ASSERT_TRUE(choose("Shift+K", "导入..."));
  EXPECT_FALSE(gup->quadrifyMesh);
  EXPECT_EQ(gup->importWindow, window);
  EXPECT_EQ(dialogTitles().size(), 1u);
  EXPECT_EQ(host::journal().find("CreateDialogParamW").size(), 1u);
}

TEST_P(Command, QuadrifyConvertsTheSelectedObjects) {
  ScopedEnv scene("CVIMP_TEST_VRSCENE", CVIMP_SAMPLES_DIR "/room/vr.vrscene");
  ASSERT_NE(start(), nullptr);
  ASSERT_TRUE(host::pressShortcut("Shift+A"));
  host::Scene& current = host::scene();
  // Nothing selected: the script runs and changes nothing (the design's
  // camera and lights are neither meshes nor polygons).
  ASSERT_TRUE(choose("Shift+Q", "四边化已选择模型"));
  ASSERT_EQ(host::executedScripts().size(), 1u);
  for (const auto& object : current.objects()) EXPECT_NE(object->ClassID(), POLYOBJ_CLASS_ID);

  std::vector<INode*> chosen = {current.findNode(u"floor"), current.findNode(u"rug"), current.findNode(u"table")};
  for (INode* node : chosen) {
    ASSERT_NE(node, nullptr);
    GetCOREInterface()->SelectNode(node, 0);
  }
  ASSERT_TRUE(choose("Shift+Q", "四边化已选择模型"));
  ASSERT_EQ(host::executedScripts().size(), 2u);
  EXPECT_EQ(host::executedScripts()[0], host::executedScripts()[1]);
  for (INode* node : chosen)
    EXPECT_EQ(node->GetObjectRef()->ClassID(), POLYOBJ_CLASS_ID) << host::utf16ToUtf8(node->GetName());
  EXPECT_EQ(current.findNode(u"chair_1")->GetObjectRef()->ClassID(), TRIOBJ_CLASS_ID);
  EXPECT_EQ(current.selection(), std::vector<INode*>{chosen.back()});
}

TEST_P(Command, HelpOpensTheArticleInTheBrowser) {
  RecordingOpener opener;
  ASSERT_NE(start(), nullptr);
  ASSERT_TRUE(choose("Shift+H", "帮助..."));
  const std::string address = host::utf16ToUtf8(std::u16string(cvimp::resources::helpArticleAddress()));
  EXPECT_EQ(host::journal().find("ShellExecuteW"),
            (std::vector<host::JournalEntry>{{"ShellExecuteW", "\"open\", \"" + address + "\", none, none, 1"}}));
  EXPECT_EQ(opener.opened(), address + "\n");
}

TEST_P(Command, AboutOpensOnceAndAgainAfterClosing) {
  ScopedEnv empty("CVIMP_TEST_VRSCENE", "");
  CvimpGUP* gup = start();
  ASSERT_NE(gup, nullptr);
  ASSERT_TRUE(choose("Shift+A", "关于..."));
  const HWND about = gup->aboutWindow;
  ASSERT_NE(about, nullptr);
  const auto state = host::windowState(about);
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ(state->title, u"关于");
  EXPECT_TRUE(state->visible);
  EXPECT_NE(state->smallIcon, 0);
  ASSERT_EQ(state->controls.size(), 3u);
  EXPECT_EQ(state->controls[0].text, u"Casavia for 3ds Max");
  EXPECT_EQ(state->controls[2].id, 1016);
  EXPECT_EQ(host::registeredDialogs(), std::vector<HWND>{about});
  EXPECT_EQ(host::journal().find("CenterWindow").size(), 1u);

  ASSERT_TRUE(choose("Shift+A", "关于..."));
  EXPECT_EQ(gup->aboutWindow, about);
  EXPECT_EQ(dialogTitles().size(), 1u);

  ASSERT_TRUE(host::closeWindow(about));
  EXPECT_EQ(gup->aboutWindow, nullptr);
  EXPECT_FALSE(IsWindow(about));
  EXPECT_TRUE(host::registeredDialogs().empty());
  EXPECT_TRUE(dialogTitles().empty());

  ASSERT_TRUE(choose("Shift+A", "关于..."));
  ASSERT_NE(gup->aboutWindow, nullptr);
  EXPECT_NE(gup->aboutWindow, about);
}

TEST_F(ShellTest, ClickingTheUserAgreementOpensIt) {
  RecordingOpener opener;
  CvimpGUP* gup = start();
  ASSERT_NE(gup, nullptr);
  ASSERT_TRUE(host::pressShortcut("Shift+A"));
  ASSERT_NE(gup->aboutWindow, nullptr);
  // Only the notifying text answers clicks.
  EXPECT_FALSE(host::clickControl(gup->aboutWindow, -1));
  EXPECT_TRUE(host::journal().find("ShellExecuteW").empty());
  ASSERT_TRUE(host::clickControl(gup->aboutWindow, 1016));
  const std::string address = host::utf16ToUtf8(std::u16string(cvimp::resources::userAgreementAddress()));
  EXPECT_EQ(host::journal().find("ShellExecuteW"),
            (std::vector<host::JournalEntry>{{"ShellExecuteW", "\"open\", \"" + address + "\", none, none, 1"}}));
  EXPECT_EQ(opener.opened(), address + "\n");
  EXPECT_NE(gup->aboutWindow, nullptr);
}

TEST_F(ShellTest, TestSceneVariableImportsInsteadOfShowingAbout) {
  ScopedEnv scene("CVIMP_TEST_VRSCENE", CVIMP_SAMPLES_DIR "/room/vr.vrscene");
  CvimpGUP* gup = start();
  ASSERT_NE(gup, nullptr);
  // The options stand as the last job left them.
  gup->importMaterial = false;
  ASSERT_TRUE(host::pressShortcut("Shift+A"));
  EXPECT_EQ(gup->aboutWindow, nullptr);
  EXPECT_TRUE(dialogTitles().empty());
  EXPECT_EQ(host::scene().nodes().size(), 13u);  // with the design's camera and two lights
  EXPECT_TRUE(host::scene().materials().empty());
  EXPECT_EQ(host::utf16ToUtf8(gup->scenePath.str()), CVIMP_SAMPLES_DIR "/room/vr.vrscene");
  EXPECT_EQ(host::suspendDepth(), 0);
  EXPECT_EQ(host::journal().find("SuspendAll").size(), 1u);
}

TEST_F(ShellTest, UnknownCommandsAreNotHandled) {
  ASSERT_NE(start(), nullptr);
  EXPECT_FALSE(host::executeAction(kTable, 40002));
  EXPECT_FALSE(host::executeAction(kTable, 0));
}

TEST_F(ShellTest, StopLeavesTheShortcutsDeadAndShutsTheBrowsers) {
  CvimpGUP* gup = start();
  ASSERT_NE(gup, nullptr);
  ASSERT_TRUE(host::pressShortcut("Shift+K"));
  ASSERT_TRUE(gup->frameworkStarted);
  gup->Stop();
  EXPECT_FALSE(gup->frameworkStarted);
  EXPECT_FALSE(host::isTableActive(kTable));
  for (const char* shortcut : {"Shift+K", "Shift+Q", "Shift+H", "Shift+A"}) EXPECT_FALSE(host::pressShortcut(shortcut));
  EXPECT_FALSE(host::chooseMenuItem("Casavia (&K)/关于..."));
  // The menu stays for the next run to replace.
  EXPECT_NE(GetCOREInterface()->GetMenuManager()->FindMenu(MSTR(u"Casavia (&K)")), nullptr);
}

TEST_F(ShellTest, ShutdownClosesTheWindowsBeforeThePlugInGoes) {
  CvimpGUP* gup = start();
  ASSERT_NE(gup, nullptr);
  ASSERT_TRUE(host::pressShortcut("Shift+K"));
  ASSERT_TRUE(host::pressShortcut("Shift+A"));
  ASSERT_EQ(dialogTitles().size(), 2u);
  plugins.shutdown();
  EXPECT_TRUE(dialogTitles().empty());
  EXPECT_TRUE(host::registeredDialogs().empty());
  EXPECT_FALSE(host::pressShortcut("Shift+A"));
  const auto freed = host::journal().find("FreeLibrary");
  EXPECT_EQ(freed.size(), 1u);
}

}  // namespace

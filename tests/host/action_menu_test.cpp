// The stand-in's action manager and menu manager: what a plug-in's commands
// go through when the user presses a shortcut or chooses a menu item.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/max.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"

namespace {

constexpr ActionTableId kTable = 0x1234;
constexpr ActionContextId kContext = 0x5678;

constexpr std::array<host::StringResource, 3> kStrings = {{{1, u"Import..."}, {2, u"Quadrify"}, {3, u"Test"}}};
constexpr std::array<host::StringTable, 1> kStringTables = {{{host::kLanguageChineseSimplified, kStrings}}};
constexpr std::array<ACCEL, 2> kAccelerators = {{{FVIRTKEY | FSHIFT, 'K', 100},
                                                 {FVIRTKEY | FSHIFT | host::kAcceleratorEndMark, 'Q', 101}}};
constexpr std::array<host::AcceleratorResource, 1> kAcceleratorTables = {{{1, kAccelerators}}};
const host::ResourceDirectory kResources{kStringTables, kAcceleratorTables, {}};
constexpr std::array<ActionDescription, 2> kDescriptions = {{{100, 1, 1, 3}, {101, 2, 2, 3}}};

class RecordingCallback : public ActionCallback {
 public:
  BOOL ExecuteAction(int id) override {
    ran.push_back(id);
    return TRUE;
  }
  std::vector<int> ran;
};

std::u16string title(const IMenu* menu) { return menu != nullptr ? menu->GetTitle().str() : u"<none>"; }

std::vector<std::u16string> titles(const IMenu* menu) {
  std::vector<std::u16string> result;
  for (int i = 0; i < menu->NumItems(); ++i) result.push_back(menu->GetItem(i)->GetTitle().str());
  return result;
}

class ActionMenuTest : public cvimp::test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::registerModuleResources(module, &kResources);
    table = std::make_unique<ActionTable>(kTable, kContext, MSTR(u"Test"), LoadAcceleratorsW(module, 1),
                                          static_cast<int>(kDescriptions.size()), kDescriptions.data(), module);
    actions = GetCOREInterface()->GetActionManager();
    menus = GetCOREInterface()->GetMenuManager();
    ASSERT_NE(actions, nullptr);
    ASSERT_NE(menus, nullptr);
  }
  void TearDown() override {
    table.reset();
    host::registerModuleResources(module, nullptr);
    HostTest::TearDown();
  }
  // The table registered, its context registered, activated with `callback`.
  void activate() {
    ASSERT_TRUE(actions->RegisterActionTable(table.get()));
    ASSERT_TRUE(actions->RegisterActionContext(kContext, u"Test"));
    ASSERT_TRUE(actions->ActivateActionTable(&callback, kTable));
  }
  // A registered menu of the table's two actions, titled `menuTitle`.
  IMenu* commandMenu(const MSTR& menuTitle) {
    IMenu* menu = GetIMenu();
    menu->SetTitle(menuTitle);
    EXPECT_TRUE(menus->RegisterMenu(menu));
    for (int id : {100, 101}) {
      IMenuItem* item = GetIMenuItem();
      EXPECT_TRUE(item->SetActionItem(table->GetAction(id)));
      EXPECT_TRUE(menu->AddItem(item));
    }
    return menu;
  }

  HINSTANCE module = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x2000});
  std::unique_ptr<ActionTable> table;
  RecordingCallback callback;
  IActionManager* actions = nullptr;
  IMenuManager* menus = nullptr;
};

TEST_F(ActionMenuTest, TablesAreFoundOnceRegisteredAndActivatedWithTheirCallback) {
  EXPECT_EQ(actions->FindTable(kTable), nullptr);
  EXPECT_FALSE(actions->ActivateActionTable(&callback, kTable));
  EXPECT_TRUE(actions->RegisterActionTable(table.get()));
  EXPECT_FALSE(actions->RegisterActionTable(table.get()));
  EXPECT_EQ(actions->FindTable(kTable), table.get());
  EXPECT_EQ(actions->GetTable(0), table.get());
  EXPECT_EQ(actions->NumActionTables(), 1);
  EXPECT_EQ(table->GetAction(101)->GetTable(), table.get());

  // No context yet: activated, but not active.
  EXPECT_TRUE(actions->ActivateActionTable(&callback, kTable));
  EXPECT_FALSE(host::isTableActive(kTable));
  EXPECT_TRUE(actions->RegisterActionContext(kContext, u"Test"));
  EXPECT_FALSE(actions->RegisterActionContext(kContext, u"Other"));
  EXPECT_TRUE(actions->IsContextActive(kContext));
  EXPECT_TRUE(host::isTableActive(kTable));

  actions->FindContext(kContext)->SetActive(false);
  EXPECT_FALSE(host::isTableActive(kTable));
  actions->FindContext(kContext)->SetActive(true);

  RecordingCallback other;
  EXPECT_FALSE(actions->DeactivateActionTable(&other, kTable));
  EXPECT_TRUE(host::isTableActive(kTable));
  EXPECT_TRUE(actions->DeactivateActionTable(&callback, kTable));
  EXPECT_FALSE(host::isTableActive(kTable));
}

TEST_F(ActionMenuTest, ShortcutsRunOnlyThroughActiveTables) {
  EXPECT_FALSE(host::pressShortcut("Shift+K"));
  activate();
  EXPECT_TRUE(host::pressShortcut("Shift+K"));
  EXPECT_TRUE(host::pressShortcut("shift+q"));
  EXPECT_FALSE(host::pressShortcut("K"));
  EXPECT_FALSE(host::pressShortcut("Ctrl+Shift+K"));
  EXPECT_FALSE(host::pressShortcut("Shift+"));
  EXPECT_EQ(callback.ran, (std::vector<int>{100, 101}));

  actions->FindContext(kContext)->SetActive(false);
  EXPECT_FALSE(host::pressShortcut("Shift+K"));
  actions->FindContext(kContext)->SetActive(true);
  EXPECT_TRUE(actions->DeactivateActionTable(&callback, kTable));
  EXPECT_FALSE(host::pressShortcut("Shift+K"));
  EXPECT_EQ(callback.ran.size(), 2u);

  // A callback that goes away leaves the table inactive, not dangling.
  {
    RecordingCallback shortLived;
    EXPECT_TRUE(actions->ActivateActionTable(&shortLived, kTable));
    EXPECT_TRUE(host::pressShortcut("Shift+Q"));
  }
  EXPECT_FALSE(host::pressShortcut("Shift+Q"));
}

TEST_F(ActionMenuTest, ShortcutTextsParse) {
  EXPECT_EQ(parseShortcut("Ctrl+Alt+F5"), (Shortcut{FCONTROL | FALT, 0x74}));
  EXPECT_EQ(parseShortcut("Control+7"), (Shortcut{FCONTROL, '7'}));
  EXPECT_EQ(parseShortcut("F25"), std::nullopt);
  EXPECT_EQ(parseShortcut("Meta+K"), std::nullopt);
  EXPECT_EQ(parseShortcut(""), std::nullopt);
  EXPECT_EQ(shortcutText(*parseShortcut("shift+ctrl+k")), u"Ctrl+Shift+K");
}

TEST_F(ActionMenuTest, TheDefaultBarHasTwelveRegisteredMenus) {
  IMenuContext* context = menus->GetContext(kMainMenuBar);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->GetType(), kMenuContextMenuBar);
  EXPECT_EQ(menus->GetContext(2), nullptr);
  IMenu* bar = static_cast<IMenuBarContext*>(context)->GetMenu();
  ASSERT_EQ(bar, menus->GetMainMenuBar());
  EXPECT_EQ(titles(bar), (std::vector<std::u16string>{u"File", u"Edit", u"Tools", u"Group", u"Views", u"Create",
                                                      u"Modifiers", u"Animation", u"Rendering", u"Customize",
                                                      u"Scripting", u"Help"}));
  EXPECT_EQ(menus->FindMenu(u"Rendering"), bar->GetItem(8)->GetSubMenu());
  EXPECT_EQ(menus->FindMenu(u"Casavia (&K)"), nullptr);
}

TEST_F(ActionMenuTest, AMenuInsertedBeforeTheLastThreeLandsThereInBarsOfAnySize) {
  struct Case {
    int size;
    int expected;
  };
  for (const Case& c : {Case{12, 9}, Case{2, 0}, Case{3, 0}, Case{10, 7}}) {
    SCOPED_TRACE(c.size);
    freshHost();
    IMenu* bar = menus->GetMainMenuBar();
    if (c.size != 12) {
      bar = GetIMenu();
      bar->SetTitle(u"Bar");
      for (int i = 0; i < c.size; ++i) {
        IMenu* menu = GetIMenu();
        menu->SetTitle(MSTR(u"M" + host::utf8ToUtf16(std::to_string(i))));
        IMenuItem* item = GetIMenuItem();
        item->SetSubMenu(menu);
        ASSERT_TRUE(bar->AddItem(item));
      }
      ASSERT_TRUE(menus->SetMainMenuBar(bar));
      ASSERT_EQ(menus->GetMainMenuBar(), bar);
    }
    IMenu* mine = GetIMenu();
    mine->SetTitle(u"Casavia (&K)");
    IMenuItem* opener = GetIMenuItem();
    opener->SetSubMenu(mine);
    const int k = bar->NumItems();
    ASSERT_TRUE(bar->AddItem(opener, k - 3 < 0 ? 0 : k - 3));
    EXPECT_EQ(bar->NumItems(), c.size + 1);
    EXPECT_EQ(bar->GetItem(c.expected), opener);
    EXPECT_EQ(opener->GetMenu(), bar);
    // An item sits in one menu at a time.
    EXPECT_FALSE(bar->AddItem(opener));
  }
}

TEST_F(ActionMenuTest, RegistrationByTitleAndUnregistrationTakesTheMenuOutOfTheBar) {
  activate();
  IMenu* first = commandMenu(u"Casavia (&K)");
  IMenu* twin = GetIMenu();
  twin->SetTitle(u"Casavia (&K)");
  EXPECT_FALSE(menus->RegisterMenu(twin));
  EXPECT_FALSE(menus->RegisterMenu(first));
  EXPECT_FALSE(menus->RegisterMenu(nullptr));
  EXPECT_EQ(menus->FindMenu(u"Casavia (&K)"), first);

  IMenu* bar = menus->GetMainMenuBar();
  IMenuItem* opener = GetIMenuItem();
  opener->SetSubMenu(first);
  ASSERT_TRUE(bar->AddItem(opener, 9));
  EXPECT_EQ(titles(first), (std::vector<std::u16string>{u"Import...", u"Quadrify"}));

  EXPECT_TRUE(menus->UnRegisterMenu(first));
  EXPECT_FALSE(menus->UnRegisterMenu(first));
  EXPECT_EQ(menus->FindMenu(u"Casavia (&K)"), nullptr);
  EXPECT_EQ(bar->NumItems(), 12);
  EXPECT_EQ(opener->GetMenu(), nullptr);
  // Still the host's, still usable, just out of sight.
  EXPECT_EQ(first->NumItems(), 2);
  EXPECT_TRUE(menus->RegisterMenu(twin));
}

TEST_F(ActionMenuTest, ItemsKeepTheirOrderAndPositions) {
  IMenu* menu = GetIMenu();
  auto item = [](const char16_t* text) {
    IMenuItem* result = GetIMenuItem();
    result->SetTitle(text);
    return result;
  };
  IMenuItem* b = item(u"b");
  EXPECT_TRUE(menu->AddItem(b));
  EXPECT_TRUE(menu->AddItem(item(u"d"), -1));
  EXPECT_TRUE(menu->AddItem(item(u"a"), 0));
  EXPECT_TRUE(menu->AddItem(item(u"c"), 2));
  EXPECT_TRUE(menu->AddItem(item(u"e"), 99));
  IMenuItem* separator = GetIMenuItem();
  separator->ActAsSeparator();
  EXPECT_TRUE(menu->AddItem(separator, 1));
  EXPECT_EQ(titles(menu), (std::vector<std::u16string>{u"a", u"", u"b", u"c", u"d", u"e"}));
  EXPECT_TRUE(menu->GetItem(1)->IsSeparator());
  menu->RemoveItem(b);
  menu->RemoveItem(0);
  menu->RemoveItem(42);
  EXPECT_EQ(titles(menu), (std::vector<std::u16string>{u"", u"c", u"d", u"e"}));
  EXPECT_EQ(b->GetMenu(), nullptr);
  EXPECT_EQ(menu->GetItem(4), nullptr);
  EXPECT_FALSE(menu->AddItem(nullptr));
}

TEST_F(ActionMenuTest, ChoosingAnItemRunsItsActionWhileTheTableIsActive) {
  activate();
  IMenu* mine = commandMenu(u"Casavia (&K)");
  IMenuItem* opener = GetIMenuItem();
  opener->SetSubMenu(mine);
  ASSERT_TRUE(menus->GetMainMenuBar()->AddItem(opener, 9));
  EXPECT_EQ(mine->GetItem(1)->GetActionItem(), table->GetAction(101));

  EXPECT_TRUE(host::chooseMenuItem("Casavia (&K)/Quadrify"));
  EXPECT_TRUE(host::chooseMenuItem("Casavia (K)/Import..."));
  EXPECT_FALSE(host::chooseMenuItem("Casavia (&K)/Help"));
  EXPECT_FALSE(host::chooseMenuItem("Casavia (&K)"));
  EXPECT_FALSE(host::chooseMenuItem("File/Quadrify"));
  EXPECT_FALSE(host::chooseMenuItem("Casavia (&K)/Quadrify/More"));
  EXPECT_EQ(callback.ran, (std::vector<int>{101, 100}));

  EXPECT_TRUE(actions->DeactivateActionTable(&callback, kTable));
  EXPECT_FALSE(host::chooseMenuItem("Casavia (&K)/Quadrify"));
  EXPECT_EQ(callback.ran.size(), 2u);
}

TEST_F(ActionMenuTest, CallsAreJournaled) {
  activate();
  host::journal().clear();
  IMenu* menu = GetIMenu();
  menu->SetTitle(u"Mine");
  menus->RegisterMenu(menu, 0);
  IMenuItem* item = GetIMenuItem();
  item->SetActionItem(table->GetAction(100));
  menu->AddItem(item, -1);
  menus->UpdateMenuBar();
  host::pressShortcut("Shift+K");
  using host::JournalEntry;
  EXPECT_EQ(host::journal().entries(), (std::vector<JournalEntry>{
                                           {"GetIMenu", ""},
                                           {"IMenu::SetTitle", "\"Mine\""},
                                           {"IMenuManager::RegisterMenu", "\"Mine\", 0"},
                                           {"GetIMenuItem", ""},
                                           {"IMenuItem::SetActionItem", "0x00001234, 100"},
                                           {"IMenu::AddItem", "\"Mine\", \"Import...\", -1"},
                                           {"IMenuManager::UpdateMenuBar", ""},
                                           {"ActionCallback::ExecuteAction", "0x00001234, 100"},
                                       }));
  EXPECT_EQ(host::menuBarUpdates(), 1);
}

TEST_F(ActionMenuTest, ResetForgetsContextsTablesAndMenus) {
  activate();
  commandMenu(u"Casavia (&K)");
  menus->GetMainMenuBar()->RemoveItem(0);
  menus->UpdateMenuBar();
  host::reset();
  EXPECT_EQ(actions->NumActionContexts(), 0);
  EXPECT_EQ(actions->NumActionTables(), 0);
  EXPECT_EQ(actions->FindTable(kTable), nullptr);
  EXPECT_FALSE(host::pressShortcut("Shift+K"));
  EXPECT_EQ(menus->FindMenu(u"Casavia (&K)"), nullptr);
  EXPECT_EQ(menus->GetMainMenuBar()->NumItems(), 12);
  EXPECT_EQ(title(menus->GetMainMenuBar()->GetItem(0)->GetSubMenu()), u"File");
  EXPECT_EQ(host::menuBarUpdates(), 0);
  // The table itself is its maker's and can be registered again.
  EXPECT_TRUE(actions->RegisterActionTable(table.get()));
}

}  // namespace

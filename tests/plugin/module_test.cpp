// cvimp.gup loaded as the host loads it, asked what the host asks.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "host/max.h"
#include "host/stand_in.h"
#include "host/gui/plugin_host.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"
#include "resources/resources.h"

namespace {

using LibDescriptionFunction = const MCHAR* (*)();
using LibNumberClassesFunction = int (*)();
using LibClassDescFunction = ClassDesc* (*)(int);
using LibVersionFunction = ULONG (*)();

std::u16string text(const MCHAR* value) { return value != nullptr ? std::u16string(value) : u"<none>"; }

class ModuleTest : public cvimp::test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    load(CVIMP_MODULE_PATH);
  }
  void load(const std::string& path) {
    ASSERT_TRUE(module.load(path)) << module.error();
    classDesc = module.function<LibClassDescFunction>("LibClassDesc")(0);
    ASSERT_NE(classDesc, nullptr);
  }
  // The module's statics outlive an unload, and a later load of the same file
  // finds them as an earlier test left them. A copy under another name loads
  // as a module of its own, with statics as a host that runs once sees them.
  void loadFreshCopy() {
    module.unload();
    const std::filesystem::path copy = copies.path() / "cvimp.gup";
    std::filesystem::copy_file(CVIMP_MODULE_PATH, copy);
    load(copy.string());
  }

  cvimp::test::TempDir copies;
  host::PluginModule module;
  ClassDesc* classDesc = nullptr;
};

TEST_F(ModuleTest, ExportsAnswerAsTheHostExpects) {
  auto description = module.function<LibDescriptionFunction>("LibDescription");
  auto numberClasses = module.function<LibNumberClassesFunction>("LibNumberClasses");
  auto libClassDesc = module.function<LibClassDescFunction>("LibClassDesc");
  auto version = module.function<LibVersionFunction>("LibVersion");
  ASSERT_TRUE(description && numberClasses && libClassDesc && version);

  EXPECT_EQ(text(description()), u"连接Casavia与3ds Max");
  EXPECT_EQ(numberClasses(), 1);
  EXPECT_EQ(libClassDesc(0), classDesc);
  EXPECT_EQ(libClassDesc(1), nullptr);
  EXPECT_EQ(libClassDesc(-1), nullptr);
  EXPECT_EQ(version(), 0x5DC03C00u);
  EXPECT_EQ(VERSION_3DSMAX, 0x5DC03C00u);
}

TEST_F(ModuleTest, AttachSavesTheHandleAndTurnsOffThreadCalls) {
  EXPECT_NE(module.instance(), nullptr);
  EXPECT_TRUE(host::threadLibraryCallsDisabled(module.instance()));
  EXPECT_EQ(host::journal().find("DisableThreadLibraryCalls").size(), 1u);
  // Texts load through the saved handle.
  EXPECT_EQ(text(classDesc->ClassName()), u"cvimp");
}

TEST_F(ModuleTest, DescriptorAnswers) {
  EXPECT_EQ(classDesc->IsPublic(), 1);
  EXPECT_EQ(text(classDesc->ClassName()), u"cvimp");
  EXPECT_EQ(text(classDesc->NonLocalizedClassName()), u"cvimp");
  EXPECT_EQ(classDesc->SuperClassID(), 0x10E0u);
  EXPECT_EQ(classDesc->ClassID(), Class_ID(0x55395f2f, 0x27fc3779));
  EXPECT_EQ(text(classDesc->Category()), u"Global Utility Plug-In");
  EXPECT_EQ(classDesc->NumActionTables(), 1);
  EXPECT_EQ(classDesc->NumInterfaces(), 0);
}

TEST_F(ModuleTest, CreateMakesANewObjectWhateverTheFlag) {
  auto* first = static_cast<GUP*>(classDesc->Create(FALSE));
  auto* second = static_cast<GUP*>(classDesc->Create(TRUE));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  first->DeleteThis();
  second->DeleteThis();
}

TEST_F(ModuleTest, StringsShareOneBufferThatEachLoadOverwrites) {
  const MCHAR* className = classDesc->ClassName();
  ASSERT_NE(className, nullptr);
  const MCHAR* category = classDesc->Category();
  EXPECT_EQ(category, className);
  EXPECT_EQ(text(className), u"Global Utility Plug-In");
  const MCHAR* description = module.function<LibDescriptionFunction>("LibDescription")();
  EXPECT_EQ(description, className);
  EXPECT_EQ(text(className), u"连接Casavia与3ds Max");
}

TEST_F(ModuleTest, ActionTableWaitsForAnActionManagerAndIsBuiltOnce) {
  ASSERT_NO_FATAL_FAILURE(loadFreshCopy());
  const std::size_t tablesBefore = host::actionTables().size();
  host::setActionManagerAvailable(false);
  EXPECT_EQ(classDesc->GetActionTable(0), nullptr);
  EXPECT_EQ(host::actionTables().size(), tablesBefore);

  host::setActionManagerAvailable(true);
  ActionTable* table = classDesc->GetActionTable(0);
  ASSERT_NE(table, nullptr);
  // The index is not looked at, and the table is kept.
  EXPECT_EQ(classDesc->GetActionTable(0), table);
  EXPECT_EQ(classDesc->GetActionTable(3), table);
  EXPECT_EQ(host::actionTables().size(), tablesBefore + 1);
  EXPECT_EQ(host::journal().find("ActionTable::ActionTable").size(), 1u);
  EXPECT_EQ(host::journal().find("IActionManager::RegisterActionContext"),
            (std::vector<host::JournalEntry>{{"IActionManager::RegisterActionContext", "0x43600283, \"cvimp\""}}));
  EXPECT_EQ(text(GetCOREInterface()->GetActionManager()->GetActionContextName(0x43600283)), u"cvimp");
}

TEST_F(ModuleTest, ActionTableHoldsTheFourCommandsWithTheirShortcuts) {
  ActionTable* table = classDesc->GetActionTable(0);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->GetId(), 0x2E932E12u);
  EXPECT_EQ(table->GetContextId(), 0x43600283u);
  EXPECT_EQ(table->GetName().str(), u"cvimp");

  struct Expected {
    int id;
    std::u16string text;
    std::u16string shortcut;
  };
  const std::vector<Expected> expected = {
      {40001, u"导入...", u"Shift+K"},
      {40008, u"四边化已选择模型", u"Shift+Q"},
      {40006, u"帮助...", u"Shift+H"},
      {40004, u"关于...", u"Shift+A"},
  };
  ASSERT_EQ(table->Count(), 4);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ActionItem* item = (*table)[i];
    ASSERT_NE(item, nullptr);
    const Expected& want = expected[static_cast<std::size_t>(i)];
    EXPECT_EQ(item->GetId(), want.id);
    EXPECT_EQ(table->GetAction(want.id), item);
    MSTR value;
    item->GetDescriptionText(value);
    EXPECT_EQ(value.str(), want.text);
    item->GetButtonText(value);
    EXPECT_EQ(value.str(), want.text);
    item->GetCategoryText(value);
    EXPECT_EQ(value.str(), u"cvimp");
    EXPECT_EQ(shortcutText(item->GetShortcut()), want.shortcut);
  }
  EXPECT_EQ((*table)[4], nullptr);
  EXPECT_EQ(table->GetAction(40002), nullptr);

  // The defaults come from accelerator table 101, without its end mark.
  const std::vector<ACCEL> accelerators = host::acceleratorEntries(table->GetHAccel());
  const BYTE shift = FVIRTKEY | FNOINVERT | FSHIFT;
  EXPECT_EQ(accelerators,
            (std::vector<ACCEL>{{shift, 'A', 40004}, {shift, 'H', 40006}, {shift, 'K', 40001}, {shift, 'Q', 40008}}));
}

TEST_F(ModuleTest, UnloadingTakesTheResourcesAwayButLeavesTheTableWithTheHost) {
  ActionTable* table = classDesc->GetActionTable(0);
  ASSERT_NE(table, nullptr);
  const HINSTANCE instance = module.instance();
  std::array<MCHAR, 16> buffer{};
  EXPECT_EQ(LoadStringW(instance, 4, buffer.data(), static_cast<int>(buffer.size())), 5);

  module.unload();
  EXPECT_FALSE(module.loaded());
  EXPECT_EQ(LoadStringW(instance, 4, buffer.data(), static_cast<int>(buffer.size())), 0);
  EXPECT_EQ(host::moduleResources(instance), nullptr);
  // The table's texts are the host's own copies.
  MSTR value;
  table->GetAction(40004)->GetDescriptionText(value);
  EXPECT_EQ(value.str(), u"关于...");
  EXPECT_EQ(shortcutText(table->GetAction(40004)->GetShortcut()), u"Shift+A");
}

// The host's loader and resource calls, outside a loaded module.
using PluginModule = cvimp::test::HostTest;
using LoadString = cvimp::test::HostTest;
using PluginHost = cvimp::test::HostTest;

TEST_F(PluginModule, AMissingModuleIsReportedNotLoaded) {
  host::PluginModule module;
  EXPECT_FALSE(module.load("/nonexistent/cvimp.gup"));
  EXPECT_FALSE(module.error().empty());
  EXPECT_FALSE(module.loaded());
  EXPECT_EQ(module.symbol("LibVersion"), nullptr);
}

TEST_F(LoadString, CopiesTruncatesAndReportsMissingStrings) {
  static constexpr std::uintptr_t kFakeModule = 0x1000;
  auto* instance = reinterpret_cast<HINSTANCE>(kFakeModule);
  host::registerModuleResources(instance, &cvimp::resources::directory());
  std::array<MCHAR, 8> small{};
  EXPECT_EQ(LoadStringW(instance, 11, small.data(), static_cast<int>(small.size())), 7);
  EXPECT_EQ(std::u16string(small.data()), u"Casavia");
  EXPECT_EQ(LoadStringW(instance, 7, small.data(), static_cast<int>(small.size())), 0);
  const MCHAR* direct = nullptr;
  EXPECT_EQ(LoadStringW(instance, 12, reinterpret_cast<MCHAR*>(&direct), 0), 8);
  EXPECT_EQ(std::u16string_view(direct, 8), u"四边化已选择模型");
  EXPECT_EQ(LoadAcceleratorsW(instance, 101), LoadAcceleratorsW(instance, 101));
  EXPECT_EQ(LoadAcceleratorsW(instance, 102), nullptr);
  host::registerModuleResources(instance, nullptr);
  EXPECT_EQ(LoadStringW(instance, 11, small.data(), static_cast<int>(small.size())), 0);
}

TEST(Resources, StringTableIsChineseWithTheEntriesTheModuleReads) {
  const auto tables = cvimp::resources::stringTables();
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].language, 2052);
  std::vector<std::pair<unsigned, std::u16string>> entries;
  for (const auto& entry : tables[0].entries) entries.emplace_back(entry.id, std::u16string(entry.text));
  EXPECT_EQ(entries, (std::vector<std::pair<unsigned, std::u16string>>{{2, u"连接Casavia与3ds Max"},
                                                                        {3, u"Global Utility Plug-In"},
                                                                        {4, u"cvimp"},
                                                                        {5, u"导入..."},
                                                                        {6, u"关于..."},
                                                                        {8, u"cvimp"},
                                                                        {10, u"帮助..."},
                                                                        {11, u"Casavia (&K)"},
                                                                        {12, u"四边化已选择模型"}}));
}

TEST(Resources, AcceleratorTableEndsWithTheEndMarkOnly) {
  const auto tables = cvimp::resources::acceleratorTables();
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].id, 101);
  ASSERT_EQ(tables[0].entries.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_EQ((tables[0].entries[i].fVirt & host::kAcceleratorEndMark) != 0, i == 3) << i;
}

TEST(Resources, DialogTemplates) {
  const auto dialogs = cvimp::resources::dialogs();
  ASSERT_EQ(dialogs.size(), 2u);
  const host::DialogResource& import = dialogs[0];
  EXPECT_EQ(import.id, 103);
  EXPECT_EQ(import.caption, u"导入");
  EXPECT_EQ(import.style, 0x90CF0040u);
  EXPECT_EQ(import.width, 800);
  EXPECT_EQ(import.height, 525);
  EXPECT_EQ(import.font, u"MS Sans Serif");
  EXPECT_EQ(import.pointSize, 8);
  EXPECT_TRUE(import.controls.empty());

  const host::DialogResource& about = dialogs[1];
  EXPECT_EQ(about.id, 104);
  EXPECT_EQ(about.caption, u"关于");
  EXPECT_EQ(about.style & ~DS_SETFONT, WS_POPUP | 0x10000000u | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
  EXPECT_EQ(about.width, 325);
  EXPECT_EQ(about.height, 109);
  ASSERT_EQ(about.controls.size(), 3u);
  EXPECT_EQ(about.controls[0].text, u"Casavia for 3ds Max");
  EXPECT_EQ(about.controls[1].text, u"连接Casavia与3ds Max，用户许可协议详见：");
  const host::DialogControl& link = about.controls[2];
  EXPECT_EQ(link.id, 1016);
  EXPECT_NE(link.style & SS_NOTIFY, 0u);
  EXPECT_EQ((about.controls[0].style | about.controls[1].style) & SS_NOTIFY, 0u);
  EXPECT_EQ(link.text, cvimp::resources::userAgreementAddress());
  EXPECT_TRUE(link.text.starts_with(u"https://"));
  EXPECT_TRUE(link.text.ends_with(u"/festatic/user_agreement"));
  EXPECT_TRUE(cvimp::resources::helpArticleAddress().ends_with(u"/hc/article/3FO4K4VMPNA9"));
  EXPECT_EQ(std::make_tuple(link.x, link.y, link.width, link.height), std::make_tuple(58, 71, 189, 8));
  EXPECT_EQ(std::make_tuple(about.controls[1].x, about.controls[1].y, about.controls[1].width),
            std::make_tuple(80, 48, 187));
}

TEST_F(PluginHost, LoadsTheModulesOfAFolderAndReportsTheOthers) {
  cvimp::test::TempDir folder;
  std::filesystem::copy_file(CVIMP_MODULE_PATH, folder.path() / "cvimp.gup");
  folder.write("broken.gup", "not a module");
  folder.write("readme.txt", "not looked at");
  host::PluginHost plugins;
  const std::vector<std::string> errors = plugins.loadFolder(folder.str());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("broken.gup"), std::string::npos) << errors[0];
  ASSERT_EQ(plugins.plugins().size(), 1u);
  EXPECT_EQ(plugins.plugins()[0]->description, u"连接Casavia与3ds Max");
  EXPECT_EQ(plugins.plugins()[0]->started.size(), 1u);
  EXPECT_TRUE(host::isTableActive(0x2E932E12));
  plugins.shutdown();
  EXPECT_TRUE(plugins.plugins().empty());
  EXPECT_FALSE(host::isTableActive(0x2E932E12));

  const std::vector<std::string> missing = plugins.loadFolder((folder.path() / "none").string());
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_NE(missing[0].find("none"), std::string::npos);
}

TEST_F(PluginHost, ALibraryWithoutTheExportsIsNoPlugIn) {
  host::PluginHost plugins;
  std::string error;
  // The C library is loaded already; it has none of the plug-in exports.
  EXPECT_FALSE(plugins.load("libc.so.6", error));
  EXPECT_NE(error.find("not a plug-in"), std::string::npos) << error;
  EXPECT_TRUE(plugins.plugins().empty());
}

}  // namespace

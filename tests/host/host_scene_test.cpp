// The stand-in's core interface: nodes and instances, progress and cancel,
// suspension and redraw scopes, selection, units and directories.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "host/max.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/two_material_cube.h"

namespace {

using host::journal;
using host::JournalEntry;

class CoreInterfaceTest : public cvimp::test::HostTest {
 protected:
  Interface* ip = GetCOREInterface();
};

TEST_F(CoreInterfaceTest, NodesOnOneObjectAreInstances) {
  TriObject* object = CreateNewTriObject();
  INode* first = ip->CreateObjectNode(object);
  INode* second = ip->CreateObjectNode(object);
  ASSERT_TRUE(first != nullptr && second != nullptr);
  EXPECT_NE(first, second);
  EXPECT_TRUE(first->GetObjectRef() == object && second->GetObjectRef() == object);
  EXPECT_EQ(host::scene().objects().size(), 1u);

  EXPECT_EQ(ip->CreateObjectNode(nullptr), nullptr);
  // An object the scene does not own gets no node either.
  TriObject stray;
  EXPECT_EQ(ip->CreateObjectNode(&stray), nullptr);
  EXPECT_EQ(host::scene().nodes().size(), 2u);
  EXPECT_EQ(journal().find("CreateObjectNodeRejected").size(), 1u);
}

TEST_F(CoreInterfaceTest, MultiSubObjectSlotsByIdAndWhatAFaceShows) {
  const cvimp::test::TwoMaterialCube cube = cvimp::test::twoMaterialCube();
  MultiMtl& multi = *cube.multi;
  // The face's ID against the slots' IDs, not their places; an ID that
  // matches none shows the first slot.
  EXPECT_EQ(host::faceMaterial(&multi, 0), cube.glass);
  EXPECT_EQ(host::faceMaterial(&multi, 3), cube.wood);
  EXPECT_EQ(host::faceMaterial(&multi, 1), cube.wood);
  EXPECT_EQ(host::faceMaterial(cube.glass, 3), cube.glass);  // a plain material shows itself

  // IDs are unique and 16-bit.
  for (const int id : {3, 65536, -1}) multi.AddMtl(cube.glass, id);
  EXPECT_EQ(multi.NumSubMtls(), 2);
  EXPECT_EQ(journal().find("IndexRejected").size(), 3u);

  MSTR name;
  multi.GetSubMtlName(0, name);
  EXPECT_EQ(name, MSTR(u"Glass"));
  MSTR oak(u"Oak");
  multi.SetSubMtlAndName(3, cube.glass, oak);
  EXPECT_EQ(multi.GetSubMtl(0), cube.glass);
  EXPECT_EQ(multi.GetSubMtlSlotName(0), oak);
  // New slots are numbered on from the largest ID.
  multi.SetNumSubMtls(4);
  multi.RemoveMtl(0);
  std::vector<int> ids;
  for (int i = 0; i < multi.NumSubMtls(); ++i) ids.push_back(multi.GetSubMtlID(i));
  EXPECT_EQ(ids, (std::vector<int>{3, 4, 5}));
  EXPECT_EQ(multi.GetSubMtl(1), nullptr);

  // A sub-material in use stays; with no slots a face shows nothing.
  cube.glass->DeleteThis();
  EXPECT_EQ(host::scene().materials().size(), 3u);
  multi.SetNumSubMtls(0);
  EXPECT_EQ(host::faceMaterial(&multi, 0), nullptr);
}

TEST_F(CoreInterfaceTest, ProgressSequenceIsJournaledInOrder) {
  ip->DisableSceneRedraw();
  journal().clear();
  EXPECT_TRUE(journal().entries().empty());

  int ran = 0;
  auto work = [](LPVOID arg) -> DWORD {
    *static_cast<int*>(arg) += 1;
    return 0;
  };
  EXPECT_TRUE(ip->ProgressStart(u"Importing design...", TRUE, work, &ran));
  EXPECT_EQ(ran, 1);  // the work function runs at once
  ip->ProgressUpdate(40, FALSE, u"Meshes");
  ip->ProgressUpdate(55);
  EXPECT_FALSE(ip->GetCancel());
  host::pressCancel();
  EXPECT_TRUE(ip->GetCancel());
  EXPECT_EQ(host::progress().title, u"Meshes");
  ip->ProgressEnd();

  const std::vector<JournalEntry> expected = {
      {"ProgressStart", "\"Importing design...\", true, function, arg"},
      {"ProgressUpdate", "40, false, \"Meshes\""},
      {"ProgressUpdate", "55, true, none"},
      {"ProgressEnd", ""},
  };
  EXPECT_EQ(journal().entries(), expected);
  EXPECT_FALSE(host::progress().shown);

  // A new progress bar starts without the earlier cancel.
  EXPECT_TRUE(ip->GetCancel());
  ip->ProgressStart(u"", FALSE, nullptr, nullptr);
  EXPECT_FALSE(ip->GetCancel());
  EXPECT_EQ(journal().entries().back(), (JournalEntry{"ProgressStart", "\"\", false, none, none"}));
  ip->ProgressEnd();
  ip->ProgressEnd();  // a second end has nothing to close
  EXPECT_EQ(host::progress().ends, 2);
}

TEST_F(CoreInterfaceTest, SuspendAllAndRedrawScopes) {
  {
    SuspendAll suspend(FALSE, FALSE, FALSE, FALSE, TRUE, FALSE, FALSE, FALSE);
    EXPECT_EQ(host::suspendDepth(), 1);
  }
  EXPECT_EQ(host::suspendDepth(), 0);
  {
    SuspendAll suspend;
    suspend.Resume();
  }  // already resumed: the scope's end resumes nothing more
  EXPECT_EQ(host::suspendDepth(), 0);
  const std::vector<JournalEntry> expected = {
      {"SuspendAll", "false, false, false, false, true, false, false, false"},
      {"Resume", ""},
      {"SuspendAll", "false, false, false, false, false, false, false, false"},
      {"Resume", ""},
  };
  EXPECT_EQ(journal().entries(), expected);

  ip->DisableSceneRedraw();
  ip->DisableSceneRedraw();
  ip->EnableSceneRedraw();
  EXPECT_EQ(host::sceneRedrawDisabledDepth(), 1);
  EXPECT_TRUE(ip->IsSceneRedrawDisabled());
  ip->EnableSceneRedraw();
  ip->EnableSceneRedraw();  // unbalanced: the depth stays at zero
  ip->DisableSceneRedraw();
  EXPECT_EQ(host::sceneRedrawDisabledDepth(), 1);
}

TEST_F(CoreInterfaceTest, SelectNodeTabMarksNodes) {
  TriObject* object = CreateNewTriObject();
  INode* nodes[3] = {ip->CreateObjectNode(object), ip->CreateObjectNode(object), ip->CreateObjectNode(object)};
  INodeTab tab;
  tab.Append(1, &nodes[0]);
  tab.Append(1, &nodes[2]);
  journal().clear();
  ip->SelectNodeTab(tab, TRUE, FALSE);
  EXPECT_EQ(journal().entries(), (std::vector<JournalEntry>{{"SelectNodeTab", "2, true, false"}}));
  EXPECT_TRUE(nodes[0]->Selected() && !nodes[1]->Selected() && nodes[2]->Selected());
  ASSERT_EQ(ip->GetSelNodeCount(), 2);
  EXPECT_EQ(ip->GetSelNode(0), nodes[0]);
  EXPECT_EQ(ip->GetSelNode(1), nodes[2]);
  EXPECT_EQ(ip->GetSelNode(2), nullptr);
  ip->SelectNodeTab(tab, FALSE);
  EXPECT_EQ(ip->GetSelNodeCount(), 0);
}

TEST_F(CoreInterfaceTest, UnitsAndDirectories) {
  EXPECT_EQ(host::systemUnit(), host::SystemUnit::Millimeters);
  const std::pair<host::SystemUnit, double> units[] = {
      {host::SystemUnit::Millimeters, 1.0}, {host::SystemUnit::Centimeters, 10.0}, {host::SystemUnit::Meters, 1000.0},
      {host::SystemUnit::Inches, 25.4},     {host::SystemUnit::Feet, 304.8},
  };
  for (const auto& [unit, millimetres] : units) {
    SCOPED_TRACE(std::string(host::unitName(unit)));
    host::setSystemUnit(unit);
    // Millimetres per system unit; the importer scales by its inverse.
    EXPECT_DOUBLE_EQ(GetSystemUnitScale(UNITS_MILLIMETERS), millimetres);
    EXPECT_EQ(host::parseUnit(host::unitName(unit)), unit);
  }
  host::setSystemUnit(host::SystemUnit::Meters);
  EXPECT_DOUBLE_EQ(GetSystemUnitScale(UNITS_CENTIMETERS), 100.0);
  EXPECT_FALSE(host::parseUnit("km").has_value());

  host::setDirectory(APP_DOWNLOAD_DIR, u"/tmp/cvimp downloads/ü");
  EXPECT_EQ(std::u16string(ip->GetDir(APP_DOWNLOAD_DIR)), u"/tmp/cvimp downloads/ü");
  EXPECT_EQ(journal().find("GetDir").back().args, "33");
  host::reset();  // the unit goes back to millimetres, directories stay
  EXPECT_EQ(host::systemUnit(), host::SystemUnit::Millimeters);
  EXPECT_EQ(std::u16string(ip->GetDir(APP_DOWNLOAD_DIR)), u"/tmp/cvimp downloads/ü");
  EXPECT_EQ(std::u16string(ip->GetDir(1000)), u"");
  host::setDirectory(APP_DOWNLOAD_DIR, u"");
}

}  // namespace

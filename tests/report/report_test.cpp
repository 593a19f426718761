// The report: counted entries, its summary line, table and JSON, and its
// place in the host scene.
#include "report/report.h"

#include <gtest/gtest.h>

#include "tests/support/host_fixture.h"

namespace cvimp {
namespace {

Report sample() {
  Report report;
  report.add(ReportStage::Import, loss::kTextureNotFound, "a.jpg", "tried a.jpg");
  report.add(ReportStage::Import, loss::kTextureNotFound, "a.jpg", "tried a.jpg");
  report.add(ReportStage::Export, loss::kMapLeftOut, "Bump Map");
  return report;
}

TEST(ReportTest, CountsSummarisesAndTabulates) {
  EXPECT_EQ(Report().summaryLine(), "=== Import report: nothing lost ===\n");
  EXPECT_EQ(Report().table(), "");
  const Report report = sample();
  ASSERT_EQ(report.entries().size(), 2u);
  EXPECT_EQ(report.entries()[0].count, 2u);
  EXPECT_EQ(report.summaryLine(), "=== Import report: 3 losses (texture not found: 2, map left out: 1) ===\n");
  EXPECT_EQ(report.table(),
            "Report:\n"
            "  stage   what               count  subject   detail\n"
            "  import  texture not found  2      a.jpg     tried a.jpg\n"
            "  export  map left out       1      Bump Map\n");
}

TEST(ReportTest, JsonReadsBackAndJoinsASceneObject) {
  const Report report = sample();
  Report read;
  ASSERT_TRUE(Report::fromJson(report.json(), read));
  EXPECT_EQ(read.json(), report.json());
  for (const char* broken : {"", "{}", "[1]", "[{\"stage\":\"import\"}]"}) {
    EXPECT_FALSE(Report::fromJson(broken, read)) << broken;
  }
  EXPECT_EQ(read.json(), report.json());
  EXPECT_EQ(withReport("{\"nodes\":[]}", Report()), "{\"nodes\":[],\"report\":[]}");
  EXPECT_EQ(withReport("{}", Report()), "{\"report\":[]}");
}

class ReportSceneTest : public test::HostTest {};

TEST_F(ReportSceneTest, KeptWithTheSceneUntilItIsReset) {
  EXPECT_TRUE(reportFromScene().empty());
  storeReportInScene(sample());
  EXPECT_EQ(reportFromScene().json(), sample().json());
  storeReportInScene(Report());
  EXPECT_TRUE(reportFromScene().empty());
  storeReportInScene(sample());
  host::reset();
  EXPECT_TRUE(reportFromScene().empty());
}

}  // namespace
}  // namespace cvimp

// The import log: opened from CVIMP_LOG_FILENAME for one import, appended
// to, its lines written as they stand and dropped when it is not open.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "materials/materials.h"
#include "tests/support/test_support.h"

namespace cvimp {
namespace {

using test::TempDir;

// CVIMP_LOG_FILENAME for one test.
class LogVariable : public test::ScopedEnv {
 public:
  explicit LogVariable(const char* value) : ScopedEnv("CVIMP_LOG_FILENAME", value) {}
};

TEST(ImportLogFile, WritesExactTextAndDropsWhenClosed) {
  TempDir dir;
  const std::string path = dir.str() + "/log.txt";
  {
    ImportLog first(path);
    ASSERT_TRUE(first.isOpen());
    logLine(&first, "Unsupported texmap type: %s\n", "TexNoise");
    logLine(&first, "%s", "100%\n");
  }
  ImportLog second(path);  // appends
  logLine(&second, "x");
  EXPECT_EQ(test::readFile(path), "Unsupported texmap type: TexNoise\n100%\nx");

  ImportLog closed(dir.str() + "/missing/log.txt");
  EXPECT_FALSE(closed.isOpen());
  logLine(&closed, "dropped %d\n", 1);
  logLine(nullptr, "%s", "dropped\n");
  EXPECT_FALSE(std::filesystem::exists(dir.str() + "/missing"));
}

TEST(ImportLog, UnsetOrEmptyVariableOpensNoLog) {
  {
    LogVariable variable(nullptr);
    EXPECT_EQ(openImportLog("/d/vr.vrscene"), nullptr);
  }
  {
    LogVariable variable("");
    EXPECT_EQ(openImportLog("/d/vr.vrscene"), nullptr);
  }
}

TEST(ImportLog, SuccessiveImportsAppendToOneFile) {
  TempDir dir;
  const std::string path = platform::utf8FromPath(dir.path() / "import.log");
  LogVariable variable(path.c_str());
  for (const char* scene : {"/imp/1/vr.vrscene", "/imp/2/vr.vrscene"}) {
    std::unique_ptr<ImportLog> log = openImportLog(scene);
    ASSERT_NE(log, nullptr);
    logLine(log.get(), "[%d]: %s\n", 0, "Base Color Map");
    logLine(log.get(), "line\n");
    closeImportLog(log);
    EXPECT_EQ(log, nullptr);
    logLine(log.get(), "dropped\n");
  }
  EXPECT_EQ(test::readFile(path),
            "=== design ID: /imp/1/vr.vrscene\n[0]: Base Color Map\nline\n"
            "=== design ID: /imp/2/vr.vrscene\n[0]: Base Color Map\nline\n");
}

TEST(ImportLog, UnopenableFileIsNoLog) {
  TempDir dir;
  const std::string path = platform::utf8FromPath(dir.path() / "missing" / "import.log");
  LogVariable variable(path.c_str());
  EXPECT_EQ(openImportLog("/d/vr.vrscene"), nullptr);
}

}  // namespace
}  // namespace cvimp

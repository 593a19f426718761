// The "startImport" and "downloadUrl" jobs end to end: a real package on a
// real HTTP server on 127.0.0.1, downloaded, decrypted, extracted, imported
// and cleaned up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "jobs/jobs.h"
#include "tests/jobs/jobs_internals.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/http_server.h"
#include "tests/support/test_support.h"
#include "tools/packaging/design_package.h"

namespace cvimp {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDesignId = "0123456789ABCDEF";
constexpr const char* kTaskId = "task-0042";

// Serves fixed bodies by path; anything else is a 404.
class Server {
 public:
  Server() {
    server_.get(".*", [this](const test::HttpRequest& request, test::HttpResponse& response) {
      std::lock_guard guard(lock_);
      const auto found = bodies_.find(request.path);
      if (found == bodies_.end()) {
        response.status = 404;
        return;
      }
      response.setContent(found->second, "application/octet-stream");
    });
    server_.start();
  }

  void serve(const std::string& path, std::string body) {
    std::lock_guard guard(lock_);
    bodies_[path] = std::move(body);
  }
  std::string url(const std::string& path) const { return server_.url(path); }

 private:
  std::mutex lock_;
  std::map<std::string, std::string> bodies_;
  test::LocalServer server_;  // stopped before the bodies go
};

// A folder no file can be made in, whoever runs the tests (root too, whom
// permissions do not stop): the kernel's process folder, which Wine shows
// under its drive for the build machine's root.
#ifdef _WIN32
constexpr const char16_t* kUnwritableFolder = u"Z:\\proc";
#else
constexpr const char16_t* kUnwritableFolder = u"/proc";
#endif

// Names beyond a Western code page: the download directory, the design's
// folder and one of its textures.
class ImportJobTest : public test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    downloads = root.path() / platform::pathFromUtf8("下载 Ärger");
    fs::create_directories(downloads);
    host::setDirectory(APP_DOWNLOAD_DIR, host::utf8ToUtf16(platform::utf8FromPath(downloads)));
    platform::setEnvironmentVariable("CVIMP_LOG_FILENAME", nullptr);
    // The sample design, with a mesh file and a scene-like file in capitals.
    design = root.path() / platform::pathFromUtf8("设计 Ünï");
    test::copySampleDesign(CVIMP_SAMPLES_DIR "/room", design, "vr.vrscene");
    test::writeFile(design / "meshes" / "chair.vrmesh", "mesh data");
    test::writeFile(design / "notes" / "OLD.VRSCENE", "kept: not the extension");
    server.serve("/design.zip",
                 packaging::makeDesignPackage(platform::utf8FromPath(design), packagePassword(kDesignId, kTaskId)));
    ExtractionSettings roomy;
    roomy.minFreeBytes = 0;  // however full the test machine's disk is
    setExtractionSettings(roomy);
  }
  void TearDown() override {
    platform::setEnvironmentVariable("CVIMP_LOG_FILENAME", nullptr);
    host::setProgressListener(nullptr);
    setDownloadSettings({});
    setExtractionSettings({});
    HostTest::TearDown();
  }

  std::u16string job(const std::string& url, const std::string& extra = "",
                     const std::string& cameraAndLight = "\"importCamera\":false,\"importLight\":1") const {
    return host::utf8ToUtf16(std::string("{\"jobType\":\"startImport\",\"designId\":\"") + kDesignId +
                             "\",\"taskId\":\"" + kTaskId + "\",\"designPackageUrl\":\"" + url +
                             "\",\"importMesh\":true," + cameraAndLight +
                             ",\"importMaterial\":true,\"importAnimation\":\"true\"" + extra + "}");
  }
  bool run(const std::u16string& text) { return runJob(state, text, result); }
  fs::path designFolder() const { return downloads / kTaskId; }
  fs::path workFolder() const { return downloads / (std::string(kTaskId) + "_dec"); }
  std::vector<std::string> sceneAndMeshFiles() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(designFolder())) {
      const std::string name = platform::utf8FromPath(entry.path().filename());
      if (name.ends_with(".vrscene") || name.ends_with(".vrmesh")) found.push_back(name);
    }
    return found;
  }

  test::TempDir root;
  fs::path downloads;
  fs::path design;
  Server server;
  PluginState state;
  WStr result;
};

TEST_F(ImportJobTest, DesignImportsAndItsIntermediateFilesGo) {
  ASSERT_TRUE(run(job(server.url("/design.zip"), ",\"quadrifyMesh\":true")));
  EXPECT_EQ(result, WStr(u"Succeed"));
  EXPECT_EQ(host::scene().nodes().size(), 10u);
  EXPECT_EQ(host::countScene().bitmaps, 3u);  // every bitmap found and loaded from the design folder
  // Options as the job gave them: only the literal true counts.
  EXPECT_TRUE(state.importMesh);
  EXPECT_FALSE(state.importCamera);
  EXPECT_FALSE(state.importLight);
  EXPECT_FALSE(state.importAnimation);
  EXPECT_TRUE(state.quadrifyMesh);
  EXPECT_EQ(state.scenePath.ToUTF8().str(), platform::utf8FromPath(designFolder() / "vr.vrscene"));
  // What stays: the package, the textures (the PNG named ".jpg" as
  // ".jpg.png"), the capitalised file; what goes: the work folder and every
  // scene and mesh file.
  EXPECT_TRUE(fs::exists(downloads / "temp.zip"));
  EXPECT_FALSE(fs::exists(workFolder()));
  EXPECT_TRUE(fs::exists(designFolder() / "textures" / "walnut.jpg.png"));
  EXPECT_TRUE(fs::exists(designFolder() / "textures" / platform::pathFromUtf8("木纹.png")));
  EXPECT_TRUE(fs::exists(designFolder() / "notes" / "OLD.VRSCENE"));
  EXPECT_TRUE(sceneAndMeshFiles().empty());
  EXPECT_EQ(host::suspendDepth(), 0);

  // A later job without "quadrifyMesh" keeps the value; the import command
  // would reset it.
  freshHost();
  ASSERT_TRUE(run(job(server.url("/design.zip"))));
  EXPECT_TRUE(state.quadrifyMesh);
  EXPECT_EQ(host::scene().objects().front()->ClassID(), POLYOBJ_CLASS_ID);
}

TEST_F(ImportJobTest, CameraAndLightFollowTheJobsOptions) {
  root.write("lit/vr.vrscene", test::readFile(std::string(CVIMP_SAMPLES_DIR) + "/exporters/app_sdk/scene.vrscene"));
  server.serve("/lit.zip", packaging::makeDesignPackage(platform::utf8FromPath(root.path() / "lit"),
                                                        packagePassword(kDesignId, kTaskId)));
  ASSERT_TRUE(run(job(server.url("/lit.zip"), "", "\"importCamera\":true,\"importLight\":false")));
  EXPECT_EQ(host::countScene().cameras, 1u);
  EXPECT_EQ(host::countScene().lights, 0u);
  freshHost();
  ASSERT_TRUE(run(job(server.url("/lit.zip"), "", "\"importCamera\":false,\"importLight\":true")));
  EXPECT_EQ(host::countScene().cameras, 0u);
  EXPECT_EQ(host::countScene().lights, 1u);
}

TEST_F(ImportJobTest, LogKeepsSceneAndMeshFiles) {
  const std::string log = root.write("日志 Ö/import.log", "");
  platform::setEnvironmentVariable("CVIMP_LOG_FILENAME", log.c_str());
  ASSERT_TRUE(run(job(server.url("/design.zip"))));
  std::vector<std::string> kept = sceneAndMeshFiles();
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (std::vector<std::string>{"chair.vrmesh", "furniture.vrscene", "vr.vrscene"}));
  EXPECT_FALSE(fs::exists(workFolder()));
  EXPECT_EQ(
      test::readFile(log).rfind("=== design ID: " + platform::utf8FromPath(designFolder() / "vr.vrscene") + "\n", 0),
      0u);
}

TEST_F(ImportJobTest, FailuresAnswerTheirTextAndLeaveWhatTheySay) {
  // Nothing at the address.
  EXPECT_FALSE(run(job(server.url("/missing.zip"))));
  EXPECT_EQ(result, WStr(u"Cannot download URL"));
  EXPECT_FALSE(fs::exists(downloads / "temp.zip"));
  EXPECT_TRUE(state.importMesh);  // the options were written before the download

  // Another design's password: the outer package does not decrypt.
  server.serve("/other.zip", packaging::makeDesignPackage(platform::utf8FromPath(design), "ABCDEFGHIJKL9999"));
  EXPECT_FALSE(run(job(server.url("/other.zip"))));
  EXPECT_EQ(result, WStr(u"Cannot decrypt package"));
  EXPECT_TRUE(fs::exists(downloads / "temp.zip"));
  EXPECT_FALSE(fs::exists(workFolder() / "kmp.zip"));  // no undecodable file left behind

  // An outer package without "kmp.zip".
  server.serve("/empty.zip", packaging::makeZip({{"readme.txt", "no design"}}, packagePassword(kDesignId, kTaskId)));
  EXPECT_FALSE(run(job(server.url("/empty.zip"))));
  EXPECT_EQ(result, WStr(u"Cannot extract package"));
  EXPECT_TRUE(fs::exists(workFolder() / "readme.txt"));

  // A scene that does not parse: the driver's text, and the clean-up ran.
  root.write("broken/vr.vrscene", "Node n { transform=Transform(;\n");
  root.write("broken/model.vrmesh", "mesh");
  server.serve("/broken.zip", packaging::makeDesignPackage(platform::utf8FromPath(root.path() / "broken"),
                                                           packagePassword(kDesignId, kTaskId)));
  EXPECT_FALSE(run(job(server.url("/broken.zip"))));
  EXPECT_EQ(result, WStr(u"Cannot parse scene"));
  EXPECT_FALSE(fs::exists(workFolder()));
  EXPECT_TRUE(sceneAndMeshFiles().empty());

  // A download directory that takes no file.
  host::setDirectory(APP_DOWNLOAD_DIR, kUnwritableFolder);
  EXPECT_FALSE(run(job(server.url("/design.zip"))));
  EXPECT_EQ(result, WStr(u"Cannot download URL"));
}

// The user presses Cancel as the n-th bar starts or ends (the download's,
// the two extractions', the import's): the job ends with the text of the
// step it stopped, and a press between two steps is not lost.
TEST_F(ImportJobTest, CancelAtAnyPointEndsTheJob) {
  struct Case {
    int starts;  // pressed as this bar starts
    int ends;    // or as this one ends
    const char16_t* result;
  };
  const Case cases[] = {{1, -1, u"Cannot download URL"},    {-1, 1, u"Cannot decrypt package"},
                        {2, -1, u"Cannot decrypt package"}, {-1, 2, u"Cannot extract package"},
                        {3, -1, u"Cannot extract package"}, {-1, 3, u"Succeed"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "start " << c.starts << ", end " << c.ends);
    freshHost();
    fs::remove_all(designFolder());
    fs::remove_all(workFolder());
    test::writeFile(downloads / "temp.zip", "an earlier package");
    bool pressed = false;
    host::setProgressListener([&](const host::ProgressState& bar) {
      if (pressed || (bar.starts != c.starts && bar.ends != c.ends)) return;
      pressed = true;
      host::pressCancel();
    });
    EXPECT_EQ(run(job(server.url("/design.zip"))), std::u16string_view(c.result) == u"Succeed");
    host::setProgressListener(nullptr);
    EXPECT_EQ(result, WStr(c.result));
    EXPECT_TRUE(host::scene().nodes().empty());
    // The download leaves no partial file, a stopped extraction no file;
    // after the extractions the clean-up runs.
    EXPECT_EQ(test::readFile(downloads / "temp.zip") == "an earlier package", c.starts == 1);
    EXPECT_EQ(fs::exists(workFolder() / "kmp.zip"), c.ends == 2 || c.starts == 3);
    EXPECT_EQ(fs::exists(designFolder() / "textures"), c.ends == 3);
    EXPECT_FALSE(fs::exists(designFolder() / "vr.vrscene"));
    EXPECT_EQ(host::progress().starts, host::progress().ends);
  }
}

// Each step's limit fails it with its text: a package over the download
// limit, and a small inner package of zeros that would write more than
// an extraction may.
TEST_F(ImportJobTest, LimitsFailTheirStep) {
  DownloadSettings download;
  download.maxBytes = 100;
  setDownloadSettings(download);
  EXPECT_FALSE(run(job(server.url("/design.zip"))));
  EXPECT_EQ(result, WStr(u"Cannot download URL"));
  setDownloadSettings({});

  const std::string zeros = packaging::makeZip({{"vr.vrscene", std::string(1 << 20, '\0')}}, std::nullopt);
  server.serve("/zeros.zip", packaging::makeZip({{"kmp.zip", zeros}}, packagePassword(kDesignId, kTaskId)));
  ExtractionSettings extraction;
  extraction.maxTotalBytes = 64 * 1024;
  extraction.minFreeBytes = 0;
  setExtractionSettings(extraction);
  EXPECT_FALSE(run(job(server.url("/zeros.zip"))));
  EXPECT_EQ(result, WStr(u"Cannot extract package"));
  EXPECT_FALSE(fs::exists(designFolder() / "vr.vrscene"));
  extraction.maxTotalBytes = zeros.size() - 1;
  setExtractionSettings(extraction);
  EXPECT_FALSE(run(job(server.url("/zeros.zip"))));
  EXPECT_EQ(result, WStr(u"Cannot decrypt package"));
}

TEST_F(ImportJobTest, DownloadJobWritesIntoTheDownloadDirectory) {
  server.serve("/file.txt", "file body");
  EXPECT_TRUE(run(host::utf8ToUtf16("{\"jobType\":\"downloadUrl\",\"remoteFileUrl\":\"" + server.url("/file.txt") +
                                    "\",\"localFilePath\":\"%MAX_DOWNLOAD_DIR%/got.txt\"}")));
  EXPECT_EQ(result, WStr(u"Succeed"));
  EXPECT_EQ(test::readFile(downloads / "got.txt"), "file body");

  EXPECT_FALSE(run(host::utf8ToUtf16("{\"jobType\":\"downloadUrl\",\"remoteFileUrl\":\"" + server.url("/nothing") +
                                     "\",\"localFilePath\":\"%MAX_DOWNLOAD_DIR%/got.txt\"}")));
  EXPECT_EQ(result, WStr(u"Cannot download URL"));
  EXPECT_EQ(test::readFile(downloads / "got.txt"), "file body");  // kept as it was

  for (const char* fields : {"\"remoteFileUrl\":\"\",\"localFilePath\":\"%MAX_DOWNLOAD_DIR%/x\"",
                             "\"localFilePath\":\"%MAX_DOWNLOAD_DIR%/x\"", "\"remoteFileUrl\":\"http://127.0.0.1:1/\""}) {
    EXPECT_FALSE(run(host::utf8ToUtf16(std::string("{\"jobType\":\"downloadUrl\",") + fields + "}")));
    EXPECT_EQ(result, WStr(u"Cannot download URL"));
  }
}

}  // namespace
}  // namespace cvimp

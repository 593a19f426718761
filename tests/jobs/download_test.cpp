#include "tests/jobs/jobs_internals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "host/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/http_server.h"
#include "tests/support/test_support.h"

namespace cvimp {
namespace {

// The settings of a download that trusts `certificate` besides the system's store.
DownloadSettings trusting(const test::TestCertificate& certificate) {
  DownloadSettings settings;
  settings.trustedCertificateFile = certificate.certificateFile;
  settings.stallSeconds = 60;
  return settings;
}

const std::string kProgressStartArgs = "\"Downloading design...\", true, function, none";

// The names in a folder, sorted: shows leftovers such as partial files.
std::vector<std::string> namesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(platform::utf8FromPath(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

// A body of `size` bytes that is not the same block repeated.
std::string bodyOf(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 131 + i / 251) & 0xff);
  return body;
}

// Holds a server handler until the test lets it go, or until a generous
// bound passes (false): what a client without a time limit would live to see.
class Gate {
 public:
  bool wait() {
    std::unique_lock lock(mutex_);
    return released_.wait_for(lock, std::chrono::seconds(30), [this] { return open_; });
  }
  void release() {
    {
      std::lock_guard guard(mutex_);
      open_ = true;
    }
    released_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool open_ = false;
};

class Download : public test::HostTest {
 protected:
  static void SetUpTestSuite() {
    certificates = std::make_unique<test::TempDir>();
    trusted = test::makeSelfSignedCertificate(certificates->path(), "local", "127.0.0.1", "IP:127.0.0.1,DNS:localhost");
    elsewhere = test::makeSelfSignedCertificate(certificates->path(), "elsewhere", "example.invalid",
                                                "DNS:example.invalid");
  }
  static void TearDownTestSuite() { certificates.reset(); }

  void SetUp() override {
    HostTest::SetUp();
    setDownloadSettings({});
  }
  void TearDown() override {
    gate.release();
    setDownloadSettings({});
    HostTest::TearDown();
  }

  std::string target(const std::string& name = "design.zip") const {
    return platform::utf8FromPath(folder.path() / name);
  }
  std::string existingTarget(const std::string& contents) const { return folder.write("design.zip", contents); }

  static int count(std::string_view call) { return static_cast<int>(host::journal().find(call).size()); }

  // The bar came up once, titled as a download, and went away again.
  static void expectProgressShownAndEnded() {
    const auto starts = host::journal().find("ProgressStart");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].args, kProgressStartArgs);
    EXPECT_EQ(count("ProgressEnd"), 1);
    EXPECT_FALSE(host::progress().shown);
  }

  static void expectNoProgress() {
    EXPECT_EQ(count("ProgressStart"), 0);
    EXPECT_EQ(count("ProgressUpdate"), 0);
    EXPECT_EQ(count("ProgressEnd"), 0);
  }

  static inline std::unique_ptr<test::TempDir> certificates;
  static inline test::TestCertificate trusted;
  static inline test::TestCertificate elsewhere;

  test::TempDir folder;
  Gate gate;
  test::LocalServer http;
};

TEST_F(Download, ProbeAnswering404RefusesWithoutTouchingTheTargetOrShowingProgress) {
  std::atomic<int> transfers{0};
  http.get("/missing", [&](const test::HttpRequest& request, test::HttpResponse& response) {
    if (request.method == "GET") ++transfers;
    response.status = 404;
  });
  http.start();

  EXPECT_FALSE(downloadFile(http.url("/missing"), target()));
  EXPECT_FALSE(std::filesystem::exists(target()));
  EXPECT_TRUE(namesIn(folder.path()).empty());

  const std::string kept = existingTarget("previous package");
  EXPECT_FALSE(downloadFile(http.url("/missing"), kept));
  EXPECT_EQ(test::readFile(kept), "previous package");
  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"design.zip"});

  EXPECT_EQ(transfers, 0);
  expectNoProgress();
}

TEST_F(Download, WritesTheBodyAndMovesTheBarByWholePercentages) {
  const std::string body = bodyOf(1 << 20);
  http.get("/design.zip", [&](const test::HttpRequest&, test::HttpResponse& response) {
    response.setContent(body, "application/zip");
  });
  http.start();
  const std::string path = existingTarget("an older, shorter or longer package than the new one");

  ASSERT_TRUE(downloadFile(http.url("/design.zip"), path));
  EXPECT_EQ(test::readFile(path), body);
  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"design.zip"});

  expectProgressShownAndEnded();
  const auto updates = host::journal().find("ProgressUpdate");
  ASSERT_FALSE(updates.empty());
  int previous = 0;
  for (const auto& update : updates) {
    int percent = -1;
    char rest[32] = {};
    ASSERT_EQ(std::sscanf(update.args.c_str(), "%d, %31[^\n]", &percent, rest), 2) << update.args;
    EXPECT_STREQ(rest, "true, none");
    EXPECT_GE(percent, previous);
    EXPECT_LE(percent, 100);
    previous = percent;
  }
  EXPECT_EQ(updates.back().args, "100, true, none");
  // The bar starts before any update and ends after the last one.
  const auto calls = host::journal().calls();
  EXPECT_EQ(calls.front(), "ProgressStart");
  EXPECT_EQ(calls.back(), "ProgressEnd");
}

TEST_F(Download, ProbeAnsweringAnythingBut404StillTransfers) {
  for (const int probeStatus : {405, 500, 200}) {
    SCOPED_TRACE(probeStatus);
    freshHost();
    test::LocalServer server;
    server.get("/design.zip", [&](const test::HttpRequest& request, test::HttpResponse& response) {
      response.setContent("package bytes", "application/zip");
      if (request.method == "HEAD") response.status = probeStatus;
    });
    server.start();
    std::filesystem::remove(target());

    EXPECT_TRUE(downloadFile(server.url("/design.zip"), target()));
    EXPECT_EQ(test::readFile(target()), "package bytes");
    expectProgressShownAndEnded();
  }
}

TEST_F(Download, FailedTransferKeepsTheExistingTargetAndLeavesNoPartialFile) {
  http.get("/broken", [](const test::HttpRequest& request, test::HttpResponse& response) {
    if (request.method == "HEAD") return;  // 200 to the probe
    response.status = 500;
    response.setContent("<html>internal error</html>", "text/html");
  });
  http.start();
  const std::string kept = existingTarget(std::string("old\0package\xff", 12));

  EXPECT_FALSE(downloadFile(http.url("/broken"), kept));
  EXPECT_EQ(test::readFile(kept), std::string("old\0package\xff", 12));
  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"design.zip"});
  expectProgressShownAndEnded();
}

TEST_F(Download, FollowsRedirectsToTheResource) {
  http.get("/old", [](const test::HttpRequest&, test::HttpResponse& response) {
    response.setRedirect("/older", 302);
    response.setContent("redirect page", "text/html");
  });
  http.get("/older",
           [](const test::HttpRequest&, test::HttpResponse& response) { response.setRedirect("/current", 301); });
  http.get("/current", [](const test::HttpRequest&, test::HttpResponse& response) {
    response.setContent("the package itself", "application/zip");
  });
  // "/hops/N" takes N redirects to reach the package.
  http.get(R"(/hops/(\d+))", [](const test::HttpRequest& request, test::HttpResponse& response) {
    const int left = std::stoi(request.matches[1]);
    if (left == 0) {
      response.setContent("far package", "application/zip");
    } else {
      response.setRedirect("/hops/" + std::to_string(left - 1), 302);
    }
  });
  http.start();

  ASSERT_TRUE(downloadFile(http.url("/old"), target()));
  EXPECT_EQ(test::readFile(target()), "the package itself");

  ASSERT_TRUE(downloadFile(http.url("/hops/5"), target()));
  EXPECT_EQ(test::readFile(target()), "far package");
  std::filesystem::remove(target());
  EXPECT_FALSE(downloadFile(http.url("/hops/6"), target()));
  EXPECT_TRUE(namesIn(folder.path()).empty());
}

TEST_F(Download, AddressesAndRedirectsOutsideHttpOrWithoutEndFail) {
  http.get("/to-file", [](const test::HttpRequest&, test::HttpResponse& response) {
    response.setRedirect("file:///etc/hostname", 302);
  });
  http.get("/to-ftp", [](const test::HttpRequest&, test::HttpResponse& response) {
    response.setRedirect("ftp://127.0.0.1/design.zip", 302);
  });
  http.get("/loop", [](const test::HttpRequest&, test::HttpResponse& response) { response.setRedirect("/loop", 302); });
  http.start();
  const std::string kept = existingTarget("previous package");

  const std::string local = "file://" + folder.write("local.txt", "local file");
  for (const std::string& address : {http.url("/to-file"), http.url("/to-ftp"), http.url("/loop"), local}) {
    SCOPED_TRACE(address);
    EXPECT_FALSE(downloadFile(address, kept));
    EXPECT_EQ(test::readFile(kept), "previous package");
    EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{"design.zip", "local.txt"}));
  }
  EXPECT_EQ(host::progress().starts, host::progress().ends);
}

TEST_F(Download, AnswerWithoutLengthIsWrittenWithoutMovingTheBar) {
  const std::string body = bodyOf(100000);
  http.get("/chunked", [&](const test::HttpRequest&, test::HttpResponse& response) {
    response.setChunkedContentProvider("application/zip", [&](std::size_t offset, test::HttpSink& sink) {
      if (offset < body.size()) {
        sink.write(body.data() + offset, std::min<std::size_t>(4096, body.size() - offset));
      } else {
        sink.done();
      }
      return true;
    });
  });
  http.start();

  ASSERT_TRUE(downloadFile(http.url("/chunked"), target()));
  EXPECT_EQ(test::readFile(target()), body);
  expectProgressShownAndEnded();
  EXPECT_EQ(count("ProgressUpdate"), 0);
}

TEST_F(Download, RefusedConnectionFails) {
  test::LocalServer closed;
  closed.start();
  const std::string address = closed.url("/design.zip");
  closed.stop();

  EXPECT_FALSE(downloadFile(address, target()));
  EXPECT_TRUE(namesIn(folder.path()).empty());
  expectProgressShownAndEnded();
}

TEST_F(Download, TargetWithoutAFolderFailsBeforeAnyRequest) {
  std::atomic<int> requests{0};
  http.get("/design.zip", [&](const test::HttpRequest&, test::HttpResponse& response) {
    ++requests;
    response.setContent("package bytes", "application/zip");
  });
  http.start();
  std::filesystem::create_directory(folder.path() / "a folder");

  EXPECT_FALSE(downloadFile(http.url("/design.zip"), platform::utf8FromPath(folder.path() / "missing" / "design.zip")));
  EXPECT_FALSE(downloadFile(http.url("/design.zip"), platform::utf8FromPath(folder.path() / "a folder")));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "missing"));
  EXPECT_TRUE(std::filesystem::is_empty(folder.path() / "a folder"));
  EXPECT_EQ(requests, 0);
  expectNoProgress();
}

// Under the speed limit for the stall time: nothing at all, or a trickle.
TEST_F(Download, TransferUnderTheSpeedLimitFailsAfterTheStallTime) {
  DownloadSettings settings;
  settings.stallBytesPerSecond = 1 << 30;  // far above what one-byte chunks make
  settings.stallSeconds = 1;
  setDownloadSettings(settings);
  http.get("/stall", [&](const test::HttpRequest&, test::HttpResponse& response) {
    // Headers and a length, then nothing until the test has its answer. A
    // client that waits it out gets the whole body after all.
    response.setContentProvider(4, "application/zip", [&](std::size_t, std::size_t, test::HttpSink& sink) {
      if (gate.wait()) return false;
      return sink.write("PK\3\4", 4);
    });
  });
  // One byte a chunk until the client goes, or for as long as a client
  // without a limit would wait.
  http.get("/trickle", [&](const test::HttpRequest&, test::HttpResponse& response) {
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    response.setChunkedContentProvider("application/zip", [bound](std::size_t, test::HttpSink& sink) {
      if (std::chrono::steady_clock::now() < bound) return sink.write("x", 1);
      sink.done();
      return true;
    });
  });
  http.start();
  const std::string kept = existingTarget("previous package");

  for (const char* path : {"/stall", "/trickle"}) {
    SCOPED_TRACE(path);
    freshHost();
    EXPECT_FALSE(downloadFile(http.url(path), kept));
    gate.release();
    EXPECT_EQ(test::readFile(kept), "previous package");
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"design.zip"});
    expectProgressShownAndEnded();
  }
}

TEST_F(Download, ResourceOverTheSizeLimitFailsWhetherAnnouncedOrNot) {
  DownloadSettings settings;
  settings.maxBytes = 1000;
  setDownloadSettings(settings);
  // "/announced/N" answers N bytes with their length, "/chunked/N" without.
  http.get(R"(/(announced|chunked)/(\d+))", [](const test::HttpRequest& request, test::HttpResponse& response) {
    const std::string body = bodyOf(std::stoul(request.matches[2]));
    if (request.matches[1] == "announced") return response.setContent(body, "application/zip");
    response.setChunkedContentProvider("application/zip", [body](std::size_t offset, test::HttpSink& sink) {
      if (offset == body.size()) {
        sink.done();
        return true;
      }
      return sink.write(body.data() + offset, std::min<std::size_t>(300, body.size() - offset));
    });
  });
  http.start();
  const std::string kept = existingTarget("previous package");

  for (const char* path : {"/announced/1001", "/chunked/1001"}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(downloadFile(http.url(path), kept));
    EXPECT_EQ(test::readFile(kept), "previous package");
    EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"design.zip"});
  }
  for (const char* path : {"/announced/1000", "/chunked/1000"}) {
    SCOPED_TRACE(path);
    std::filesystem::remove(kept);
    EXPECT_TRUE(downloadFile(http.url(path), kept));
    EXPECT_EQ(test::readFile(kept), bodyOf(1000));
  }
}

// Pressed during the probe, the download ends before its bar and transfer;
// pressed during the transfer, libcurl's next look ends it, though the
// server holds the body back.
TEST_F(Download, CancelEndsTheProbeOrTheTransfer) {
  std::atomic<int> transfers{0};
  http.get("/probe", [&](const test::HttpRequest& request, test::HttpResponse& response) {
    if (request.method == "HEAD") host::pressCancel();
    if (request.method == "GET") ++transfers;
    response.setContent("package bytes", "application/zip");
  });
  std::atomic<bool> boundReached{false};
  http.get("/held", [&](const test::HttpRequest& request, test::HttpResponse& response) {
    if (request.method == "GET") host::pressCancel();
    response.setContentProvider(4, "application/zip", [&](std::size_t, std::size_t, test::HttpSink& sink) {
      if (gate.wait()) return false;
      boundReached = true;
      return sink.write("PK\3\4", 4);
    });
  });
  http.start();
  const std::string kept = existingTarget("previous package");

  EXPECT_FALSE(downloadFile(http.url("/probe"), kept));
  EXPECT_EQ(transfers, 0);
  expectNoProgress();

  freshHost();
  EXPECT_FALSE(downloadFile(http.url("/held"), kept));
  gate.release();
  EXPECT_FALSE(boundReached);
  expectProgressShownAndEnded();
  EXPECT_EQ(test::readFile(kept), "previous package");
  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"design.zip"});
}

TEST_F(Download, HttpsWithATrustedCertificate) {
  setDownloadSettings(trusting(trusted));
  test::LocalServer https(trusted);
  https.get("/design.zip", [](const test::HttpRequest&, test::HttpResponse& response) {
    response.setContent("secure package", "application/zip");
  });
  https.start();
  // An HTTP address that sends the importer on to HTTPS.
  http.get("/design.zip", [&](const test::HttpRequest&, test::HttpResponse& response) {
    response.setRedirect(https.url("/design.zip"), 302);
  });
  http.start();

  ASSERT_TRUE(downloadFile(https.url("/design.zip"), target()));
  EXPECT_EQ(test::readFile(target()), "secure package");
  ASSERT_TRUE(downloadFile(http.url("/design.zip"), target("redirected.zip")));
  EXPECT_EQ(test::readFile(target("redirected.zip")), "secure package");
}

TEST_F(Download, HttpsServerThatDoesNotCheckOutIsRefused) {
  test::LocalServer unknown(trusted);
  test::LocalServer misnamed(elsewhere);
  for (test::LocalServer* server : {&unknown, &misnamed}) {
    server->get("/design.zip", [](const test::HttpRequest&, test::HttpResponse& response) {
      response.setContent("forged package", "application/zip");
    });
    server->start();
  }
  const std::string kept = existingTarget("previous package");

  // The system's authorities know nothing of the test certificate.
  EXPECT_FALSE(downloadFile(unknown.url("/design.zip"), kept));
  EXPECT_EQ(test::readFile(kept), "previous package");

  // Trusted, but made out for another host.
  setDownloadSettings(trusting(elsewhere));
  EXPECT_FALSE(downloadFile(misnamed.url("/design.zip"), kept));
  EXPECT_EQ(test::readFile(kept), "previous package");

  EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"design.zip"});
  EXPECT_EQ(host::progress().starts, 2);
  EXPECT_EQ(host::progress().ends, 2);
}

}  // namespace
}  // namespace cvimp

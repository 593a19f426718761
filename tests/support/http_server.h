#pragma once
// Local HTTP and HTTPS servers for tests: 127.0.0.1 at a port the system
// picks, served from a thread of their own, and self-signed certificates
// made at run time. No system header shows through here, so suites that
// include the stand-in host's Win32 names can use them on Windows too.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cvimp::test {

struct TestCertificate {
  std::string certificateFile;  // PEM
  std::string keyFile;          // PEM, unencrypted
};

// Writes "<stem>.crt" and "<stem>.key" into `folder`: a P-256 key and a
// self-signed certificate, valid from a minute ago for a day, for the
// common name `commonName` and the subject alternative names `altNames`
// in OpenSSL's notation ("IP:127.0.0.1,DNS:localhost"). The certificate is
// its own authority: trusting its file is enough to accept the server.
TestCertificate makeSelfSignedCertificate(const std::filesystem::path& folder, const std::string& stem,
                                          const std::string& commonName, const std::string& altNames);

struct HttpRequest {
  std::string method;  // a GET route also answers HEAD
  std::string path;
  std::string body;
  std::vector<std::string> matches;  // the route's whole match, then its groups
};

// Where a content provider writes; write() is false once the client is gone.
class HttpSink {
 public:
  struct Target;
  explicit HttpSink(Target& target) : target_(target) {}
  bool write(const char* data, std::size_t size);
  void done();

 private:
  Target& target_;
};

class HttpResponse {
 public:
  using ContentProvider = std::function<bool(std::size_t offset, std::size_t length, HttpSink& sink)>;
  using ChunkedContentProvider = std::function<bool(std::size_t offset, HttpSink& sink)>;

  struct Target;
  explicit HttpResponse(Target& target);

  // Left at -1, the answer is 200 (206 to a range request).
  int status = -1;

  void setContent(const std::string& body, const std::string& type);
  // A status outside 300-399 becomes 302.
  void setRedirect(const std::string& url, int code = 302);
  // `length` bytes announced, written by `provider` as the client reads.
  void setContentProvider(std::size_t length, const std::string& type, ContentProvider provider);
  // No length announced: `provider` writes until it calls done().
  void setChunkedContentProvider(const std::string& type, ChunkedContentProvider provider);

 private:
  Target& target_;
};

using HttpHandler = std::function<void(const HttpRequest& request, HttpResponse& response)>;

// A server on 127.0.0.1: add routes (regular expressions over the path),
// then start(). It is stopped and its thread joined on destruction; handlers
// that block must be released before that.
class LocalServer {
 public:
  // Plain HTTP.
  LocalServer();
  // HTTPS with the given certificate and key; throws if they are rejected.
  explicit LocalServer(const TestCertificate& certificate);
  ~LocalServer();
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  void get(const std::string& pattern, HttpHandler handler);
  void post(const std::string& pattern, HttpHandler handler);

  // Binds a free port and serves from a thread. The socket listens once
  // bound, so requests made right after this queue until they are served;
  // the wait is only for the accept loop, so that stop() always reaches it.
  void start();
  void stop();

  int port() const;
  // "http://127.0.0.1:PORT" + path (or https).
  std::string url(const std::string& path) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace cvimp::test

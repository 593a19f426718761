// cpp-httplib and OpenSSL behind http_server.h: the one test file that sees
// their headers (and, on Windows, <windows.h> through them).
#include "tests/support/http_server.h"

#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <stdexcept>
#include <thread>
#include <utility>

#include "platform/platform.h"

namespace cvimp::test {
namespace {

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct ExtensionFree {
  void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificate: ") + what);
}

void addExtension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  std::unique_ptr<X509_EXTENSION, ExtensionFree> extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
  check(extension != nullptr, "extension");
  check(X509_add_ext(certificate, extension.get(), -1) == 1, "add extension");
}

}  // namespace

TestCertificate makeSelfSignedCertificate(const std::filesystem::path& folder, const std::string& stem,
                                          const std::string& commonName, const std::string& altNames) {
  std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256"));
  check(key != nullptr, "key");
  std::unique_ptr<X509, CertificateFree> certificate(X509_new());
  check(certificate != nullptr, "certificate");
  X509* cert = certificate.get();
  check(X509_set_version(cert, 2) == 1, "version");
  static long serial = 1;
  check(ASN1_INTEGER_set(X509_get_serialNumber(cert), serial++) == 1, "serial");
  check(X509_gmtime_adj(X509_getm_notBefore(cert), -60) != nullptr, "not before");
  check(X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 60 * 60) != nullptr, "not after");
  check(X509_set_pubkey(cert, key.get()) == 1, "public key");
  X509_NAME* name = X509_get_subject_name(cert);
  check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                   reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0) == 1,
        "common name");
  check(X509_set_issuer_name(cert, name) == 1, "issuer");
  addExtension(cert, NID_basic_constraints, "critical,CA:TRUE");
  addExtension(cert, NID_subject_key_identifier, "hash");
  addExtension(cert, NID_subject_alt_name, altNames.c_str());
  check(X509_sign(cert, key.get(), EVP_sha256()) > 0, "signature");

  TestCertificate files{platform::utf8FromPath(folder / (stem + ".crt")),
                        platform::utf8FromPath(folder / (stem + ".key"))};
  {
    const platform::File out = platform::openFile(files.certificateFile, "wb");
    check(out != nullptr && PEM_write_X509(out.get(), cert) == 1, "writing the certificate");
  }
  {
    const platform::File out = platform::openFile(files.keyFile, "wb");
    check(out != nullptr && PEM_write_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1,
          "writing the key");
  }
  return files;
}

struct HttpSink::Target {
  httplib::DataSink& sink;
};

bool HttpSink::write(const char* data, std::size_t size) { return target_.sink.write(data, size); }
void HttpSink::done() { target_.sink.done(); }

struct HttpResponse::Target {
  httplib::Response& response;
};

HttpResponse::HttpResponse(Target& target) : status(target.response.status), target_(target) {}

void HttpResponse::setContent(const std::string& body, const std::string& type) {
  target_.response.set_content(body, type);
}

void HttpResponse::setRedirect(const std::string& url, int code) {
  target_.response.status = status;
  target_.response.set_redirect(url, code);
  status = target_.response.status;
}

void HttpResponse::setContentProvider(std::size_t length, const std::string& type, ContentProvider provider) {
  target_.response.set_content_provider(
      length, type, [provider = std::move(provider)](std::size_t offset, std::size_t size, httplib::DataSink& sink) {
        HttpSink::Target target{sink};
        HttpSink neutral(target);
        return provider(offset, size, neutral);
      });
}

void HttpResponse::setChunkedContentProvider(const std::string& type, ChunkedContentProvider provider) {
  target_.response.set_chunked_content_provider(
      type, [provider = std::move(provider)](std::size_t offset, httplib::DataSink& sink) {
        HttpSink::Target target{sink};
        HttpSink neutral(target);
        return provider(offset, neutral);
      });
}

struct LocalServer::Impl {
  std::unique_ptr<httplib::Server> server;
  bool secure = false;
  int port = 0;
  std::thread thread;

  static httplib::Server::Handler wrap(HttpHandler handler) {
    return [handler = std::move(handler)](const httplib::Request& request, httplib::Response& response) {
      HttpRequest neutral{request.method, request.path, request.body, {}};
      for (const auto& match : request.matches) neutral.matches.push_back(match.str());
      HttpResponse::Target target{response};
      HttpResponse answer(target);
      handler(neutral, answer);
      response.status = answer.status;
    };
  }
};

LocalServer::LocalServer() : impl_(std::make_unique<Impl>()) { impl_->server = std::make_unique<httplib::Server>(); }

LocalServer::LocalServer(const TestCertificate& certificate) : impl_(std::make_unique<Impl>()) {
  impl_->server =
      std::make_unique<httplib::SSLServer>(certificate.certificateFile.c_str(), certificate.keyFile.c_str());
  impl_->secure = true;
  if (!impl_->server->is_valid()) throw std::runtime_error("HTTPS server rejects its certificate");
}

LocalServer::~LocalServer() { stop(); }

void LocalServer::get(const std::string& pattern, HttpHandler handler) {
  impl_->server->Get(pattern, Impl::wrap(std::move(handler)));
}

void LocalServer::post(const std::string& pattern, HttpHandler handler) {
  impl_->server->Post(pattern, Impl::wrap(std::move(handler)));
}

void LocalServer::start() {
  impl_->port = impl_->server->bind_to_any_port("127.0.0.1");
  if (impl_->port <= 0) throw std::runtime_error("cannot bind a port on 127.0.0.1");
  impl_->thread = std::thread([server = impl_->server.get()] { server->listen_after_bind(); });
  while (!impl_->server->is_running()) std::this_thread::yield();
}

void LocalServer::stop() {
  if (!impl_->thread.joinable()) return;
  impl_->server->stop();
  impl_->thread.join();
}

int LocalServer::port() const { return impl_->port; }

std::string LocalServer::url(const std::string& path) const {
  return std::string(impl_->secure ? "https" : "http") + "://127.0.0.1:" + std::to_string(impl_->port) + path;
}

}  // namespace cvimp::test

#pragma once
// Local HTTP and HTTPS servers for tests (and the demo): cpp-httplib on
// 127.0.0.1 at a port the system picks, served from a thread of their own,
// and self-signed certificates made at run time with OpenSSL.
#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/platform.h"

namespace cvimp::test {

struct TestCertificate {
  std::string certificateFile;  // PEM
  std::string keyFile;          // PEM, unencrypted
};

namespace detail {

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct ExtensionFree {
  void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};

inline void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificate: ") + what);
}

inline void addExtension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  std::unique_ptr<X509_EXTENSION, ExtensionFree> extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
  check(extension != nullptr, "extension");
  check(X509_add_ext(certificate, extension.get(), -1) == 1, "add extension");
}

}  // namespace detail

// Writes "<stem>.crt" and "<stem>.key" into `folder`: a P-256 key and a
// self-signed certificate, valid from a minute ago for a day, for the
// common name `commonName` and the subject alternative names `altNames`
// in OpenSSL's notation ("IP:127.0.0.1,DNS:localhost"). The certificate is
// its own authority: trusting its file is enough to accept the server.
inline TestCertificate makeSelfSignedCertificate(const std::filesystem::path& folder, const std::string& stem,
                                                 const std::string& commonName, const std::string& altNames) {
  using detail::check;
  std::unique_ptr<EVP_PKEY, detail::KeyFree> key(EVP_EC_gen("P-256"));
  check(key != nullptr, "key");
  std::unique_ptr<X509, detail::CertificateFree> certificate(X509_new());
  check(certificate != nullptr, "certificate");
  X509* cert = certificate.get();
  check(X509_set_version(cert, 2) == 1, "version");
  static long serial = 1;
  check(ASN1_INTEGER_set(X509_get_serialNumber(cert), serial++) == 1, "serial");
  check(X509_gmtime_adj(X509_getm_notBefore(cert), -60) != nullptr, "not before");
  check(X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 60 * 60) != nullptr, "not after");
  check(X509_set_pubkey(cert, key.get()) == 1, "public key");
  X509_NAME* name = X509_get_subject_name(cert);
  check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                                   -1, -1, 0) == 1,
        "common name");
  check(X509_set_issuer_name(cert, name) == 1, "issuer");
  detail::addExtension(cert, NID_basic_constraints, "critical,CA:TRUE");
  detail::addExtension(cert, NID_subject_key_identifier, "hash");
  detail::addExtension(cert, NID_subject_alt_name, altNames.c_str());
  check(X509_sign(cert, key.get(), EVP_sha256()) > 0, "signature");

  TestCertificate files{(folder / (stem + ".crt")).string(), (folder / (stem + ".key")).string()};
  {
    const platform::File out = platform::openFile(files.certificateFile, "wb");
    check(out != nullptr && PEM_write_X509(out.get(), cert) == 1, "writing the certificate");
  }
  {
    const platform::File out = platform::openFile(files.keyFile, "wb");
    check(out != nullptr &&
              PEM_write_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1,
          "writing the key");
  }
  return files;
}

// A server on 127.0.0.1: add routes through server(), then start(). It is
// stopped and its thread joined on destruction; handlers that block must be
// released before that.
class LocalServer {
 public:
  // Plain HTTP.
  LocalServer() : server_(std::make_unique<httplib::Server>()) {}
  // HTTPS with the given certificate and key.
  explicit LocalServer(const TestCertificate& certificate)
      : server_(std::make_unique<httplib::SSLServer>(certificate.certificateFile.c_str(),
                                                      certificate.keyFile.c_str())),
        secure_(true) {
    if (!server_->is_valid()) throw std::runtime_error("HTTPS server rejects its certificate");
  }
  ~LocalServer() { stop(); }
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  httplib::Server& server() { return *server_; }

  // Binds a free port and serves from a thread. The socket listens once
  // bound, so requests made right after this queue until they are served;
  // the wait is only for the accept loop, so that stop() always reaches it.
  void start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("cannot bind a port on 127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::yield();
  }

  void stop() {
    if (!thread_.joinable()) return;
    server_->stop();
    thread_.join();
  }

  int port() const { return port_; }
  // "http://127.0.0.1:PORT" + path (or https).
  std::string url(const std::string& path) const {
    return std::string(secure_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  std::unique_ptr<httplib::Server> server_;
  bool secure_ = false;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace cvimp::test

// A certificate authority and a server certificate for 127.0.0.1, made in memory for a test, so
// that HTTPS servers on loopback can be trusted through a seam without files.
#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <string>

namespace test_support {

class TestCertificate {
 public:
  // A fresh authority and a server certificate it signed for the address 127.0.0.1 (and no
  // other), valid from an hour ago for a day.
  TestCertificate();
  ~TestCertificate();
  TestCertificate(const TestCertificate&) = delete;
  TestCertificate& operator=(const TestCertificate&) = delete;

  // The server's certificate and key, for the server to present.
  [[nodiscard]] X509* server_certificate() const { return server_certificate_; }
  [[nodiscard]] EVP_PKEY* server_key() const { return server_key_; }
  // The authority's certificate in PEM, for the client to trust.
  [[nodiscard]] const std::string& authority_pem() const { return authority_pem_; }

 private:
  EVP_PKEY* authority_key_ = nullptr;
  X509* authority_certificate_ = nullptr;
  EVP_PKEY* server_key_ = nullptr;
  X509* server_certificate_ = nullptr;
  std::string authority_pem_;
};

}  // namespace test_support

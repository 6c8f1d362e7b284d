#include "tests/support/test_certificate.h"

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdlib>

namespace test_support {

namespace {

void add_extension(X509* certificate, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr || X509_add_ext(certificate, extension, -1) != 1) std::abort();
  X509_EXTENSION_free(extension);
}

X509* make_certificate(EVP_PKEY* key, const char* common_name, long serial) {
  X509* certificate = X509_new();
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), serial);
  X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
  X509_gmtime_adj(X509_getm_notAfter(certificate), 86400);
  X509_set_pubkey(certificate, key);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(certificate), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0);
  return certificate;
}

void sign(X509* certificate, X509* issuer, EVP_PKEY* issuer_key) {
  X509_set_issuer_name(certificate, X509_get_subject_name(issuer));
  if (X509_sign(certificate, issuer_key, EVP_sha256()) == 0) std::abort();
}

std::string pem_of(X509* certificate) {
  BIO* memory = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(memory, certificate);
  char* data = nullptr;
  const long size = BIO_get_mem_data(memory, &data);
  std::string pem(data, static_cast<std::size_t>(size));
  BIO_free(memory);
  return pem;
}

}  // namespace

TestCertificate::TestCertificate()
    : authority_key_(EVP_EC_gen("P-256")), server_key_(EVP_EC_gen("P-256")) {
  if (authority_key_ == nullptr || server_key_ == nullptr) std::abort();
  authority_certificate_ = make_certificate(authority_key_, "songsearch test authority", 1);
  add_extension(authority_certificate_, authority_certificate_, NID_basic_constraints,
                "critical,CA:TRUE");
  add_extension(authority_certificate_, authority_certificate_, NID_key_usage,
                "critical,keyCertSign,cRLSign");
  add_extension(authority_certificate_, authority_certificate_, NID_subject_key_identifier, "hash");
  sign(authority_certificate_, authority_certificate_, authority_key_);

  server_certificate_ = make_certificate(server_key_, "127.0.0.1", 2);
  add_extension(server_certificate_, authority_certificate_, NID_basic_constraints, "CA:FALSE");
  add_extension(server_certificate_, authority_certificate_, NID_subject_alt_name, "IP:127.0.0.1");
  add_extension(server_certificate_, authority_certificate_, NID_ext_key_usage, "serverAuth");
  add_extension(server_certificate_, authority_certificate_, NID_authority_key_identifier, "keyid");
  sign(server_certificate_, authority_certificate_, authority_key_);
  authority_pem_ = pem_of(authority_certificate_);
}

TestCertificate::~TestCertificate() {
  X509_free(server_certificate_);
  EVP_PKEY_free(server_key_);
  X509_free(authority_certificate_);
  EVP_PKEY_free(authority_key_);
}

}  // namespace test_support

// Independent Ed25519 (OpenSSL's libcrypto) for the black-box tests:
//   ed25519_oracle verify <pk hex> <msg hex> <sig hex>   exit 0 when valid, 1 when not
//   ed25519_oracle pubkey <seed hex>                      prints the public key in hex
#include <openssl/evp.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static std::vector<unsigned char> unhex(const char* s) {
  std::vector<unsigned char> out;
  for (size_t i = 0; s[i] && s[i + 1]; i += 2) {
    unsigned v = 0;
    std::sscanf(s + i, "%2x", &v);
    out.push_back(static_cast<unsigned char>(v));
  }
  return out;
}

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "verify") == 0) {
    auto pk = unhex(argv[2]), msg = unhex(argv[3]), sig = unhex(argv[4]);
    if (pk.size() != 32 || sig.size() != 64) return 2;
    EVP_PKEY* key = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, pk.data(), 32);
    if (key == nullptr) return 1;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    const bool ok = EVP_DigestVerifyInit(ctx, nullptr, nullptr, nullptr, key) == 1 &&
                    EVP_DigestVerify(ctx, sig.data(), 64, msg.data(), msg.size()) == 1;
    EVP_MD_CTX_free(ctx);
    EVP_PKEY_free(key);
    return ok ? 0 : 1;
  }
  if (argc == 3 && std::strcmp(argv[1], "pubkey") == 0) {
    auto seed = unhex(argv[2]);
    if (seed.size() != 32) return 2;
    EVP_PKEY* key = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed.data(), 32);
    unsigned char pk[32];
    size_t len = sizeof pk;
    if (key == nullptr || EVP_PKEY_get_raw_public_key(key, pk, &len) != 1) return 2;
    EVP_PKEY_free(key);
    for (unsigned char b : pk) std::printf("%02x", b);
    std::printf("\n");
    return 0;
  }
  std::fprintf(stderr, "usage: ed25519_oracle verify <pk> <msg> <sig> | pubkey <seed>\n");
  return 2;
}

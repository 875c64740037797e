#include "platform/sha256.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <memory>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

namespace quilmarr {
namespace {

constexpr std::size_t kDigestSize = 32;
using Digest = std::array<unsigned char, kDigestSize>;

#ifdef _WIN32

struct AlgorithmCloser {
  void operator()(void* algorithm) const { BCryptCloseAlgorithmProvider(algorithm, 0); }
};
struct HashDestroyer {
  void operator()(void* hash) const { BCryptDestroyHash(hash); }
};

class Hasher {
 public:
  Hasher() {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
      return;
    algorithm_.reset(algorithm);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)))
      hash_.reset(hash);
  }
  [[nodiscard]] bool Ok() const { return hash_ != nullptr; }
  [[nodiscard]] bool Update(const char* data, std::size_t size) {
    return BCRYPT_SUCCESS(BCryptHashData(hash_.get(),
                                         reinterpret_cast<PUCHAR>(const_cast<char*>(data)),
                                         static_cast<ULONG>(size), 0));
  }
  [[nodiscard]] bool Final(Digest& digest) {
    return BCRYPT_SUCCESS(BCryptFinishHash(hash_.get(), digest.data(), kDigestSize, 0));
  }

 private:
  std::unique_ptr<void, AlgorithmCloser> algorithm_;  // outlives the hash
  std::unique_ptr<void, HashDestroyer> hash_;
};

#else

class Hasher {
 public:
  Hasher() {
    if (context_ && EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1) context_.reset();
  }
  [[nodiscard]] bool Ok() const { return context_ != nullptr; }
  [[nodiscard]] bool Update(const char* data, std::size_t size) {
    return EVP_DigestUpdate(context_.get(), data, size) == 1;
  }
  [[nodiscard]] bool Final(Digest& digest) {
    unsigned int size = 0;
    return EVP_DigestFinal_ex(context_.get(), digest.data(), &size) == 1 && size == kDigestSize;
  }

 private:
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context_{EVP_MD_CTX_new(),
                                                                   &EVP_MD_CTX_free};
};

#endif

}  // namespace

std::optional<std::string> FileSha256(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  Hasher hasher;
  if (!hasher.Ok()) return std::nullopt;
  std::vector<char> block(1 << 16);
  while (in) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    const std::streamsize got = in.gcount();
    if (got > 0 && !hasher.Update(block.data(), static_cast<std::size_t>(got))) return std::nullopt;
  }
  // Stopping anywhere but at the end (a read error, or a folder) is no digest.
  if (!in.eof() || in.bad()) return std::nullopt;
  Digest digest{};
  if (!hasher.Final(digest)) return std::nullopt;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char byte : digest) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 0x0F];
  }
  return hex;
}

}  // namespace quilmarr

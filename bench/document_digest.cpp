#include "bench/document_digest.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace cvimp::bench {

namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ull;

std::uint64_t mixLane(std::uint64_t lane, std::uint64_t word) { return std::rotl(lane + word * kPrime2, 31) * kPrime1; }

std::uint64_t load(const std::uint8_t* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// A 64-bit hash of a byte stream, four independent lanes over 32-byte
// blocks, so that hundreds of megabytes of lists take a fraction of a second.
class StreamHash {
 public:
  void bytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    total_ += size;
    if (pending_ > 0) {
      const std::size_t take = std::min(size, kBlock - pending_);
      std::memcpy(buffer_.data() + pending_, p, take);
      pending_ += take;
      p += take;
      size -= take;
      if (pending_ < kBlock) return;
      block(buffer_.data());
      pending_ = 0;
    }
    for (; size >= kBlock; p += kBlock, size -= kBlock) block(p);
    std::memcpy(buffer_.data(), p, size);
    pending_ = size;
  }
  void word(std::uint64_t value) { bytes(&value, sizeof value); }
  // Length first, so that no two sequences of texts give the same stream.
  void text(std::string_view value) {
    word(value.size());
    bytes(value.data(), value.size());
  }

  std::uint64_t finish() const {
    std::uint64_t h =
        std::rotl(lanes_[0], 1) + std::rotl(lanes_[1], 7) + std::rotl(lanes_[2], 12) + std::rotl(lanes_[3], 18);
    for (const std::uint64_t lane : lanes_) h = (h ^ mixLane(0, lane)) * kPrime1 + kPrime3;
    h ^= total_;
    for (std::size_t i = 0; i < pending_; ++i) h = std::rotl(h ^ (buffer_[i] * kPrime3), 11) * kPrime1;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    return h ^ (h >> 32);
  }

 private:
  static constexpr std::size_t kBlock = 32;

  void block(const std::uint8_t* p) {
    for (std::size_t lane = 0; lane < 4; ++lane) lanes_[lane] = mixLane(lanes_[lane], load(p + 8 * lane));
  }

  std::array<std::uint64_t, 4> lanes_{kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
  std::array<std::uint8_t, kBlock> buffer_{};
  std::size_t pending_ = 0;
  std::uint64_t total_ = 0;
};

class Digester {
 public:
  explicit Digester(DocumentDigest& digest) : digest_(digest) {}

  void plugin(const VrpPlugin& plugin) {
    digest_.plugins += 1;
    hash_.text(plugin.name);
    hash_.text(plugin.type);
    hash_.word(plugin.attributeCount());
    for (const auto& attribute : plugin.attributes()) {
      digest_.attributes += 1;
      hash_.text(attribute->name);
      value(attribute->value);
    }
  }

  std::uint64_t finish() const { return hash_.finish(); }

 private:
  void value(const VrpValue& value) {
    hash_.word(value.type());
    if (const VrpAttributeSelector* selector = value.selector()) {
      hash_.text(selector->plugin);
      hash_.text(selector->attribute);
    } else if (const VrpFunction* function = value.function()) {
      hash_.text(function->name);
      hash_.word(function->values.size());
      for (const VrpValue& element : function->values) this->value(element);
      packedData(*function);
    } else if (const VrpIdentifier* identifier = value.identifier()) {
      hash_.text(identifier->name);
    } else if (const std::int64_t* number = value.intValue()) {
      hash_.word(static_cast<std::uint64_t>(*number));
    } else if (const double* real = value.floatValue()) {
      hash_.word(std::bit_cast<std::uint64_t>(*real));
    } else if (const std::string_view* text = value.stringValue()) {
      hash_.text(*text);
    }
  }

  void packedData(const VrpFunction& function) {
    const std::size_t elementSize = listElementSize(function.name);
    if (function.data == nullptr) {
      hash_.word(0);
      digest_.undecodedLists += elementSize != 0 ? 1 : 0;
      return;
    }
    const std::uint64_t size = function.count * elementSize;
    hash_.word(1);
    hash_.word(function.count);
    hash_.bytes(function.data.get(), size);
    digest_.decodedLists += 1;
    digest_.decodedBytes += size;
  }

  DocumentDigest& digest_;
  StreamHash hash_;
};

}  // namespace

std::string DocumentDigest::hex() const {
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  return digits;
}

DocumentDigest digestDocument(const VrpScene& scene, PluginOrder order) {
  std::vector<const VrpPlugin*> plugins = scene.pluginsInDocumentOrder();
  if (order == PluginOrder::ByName) {
    std::sort(plugins.begin(), plugins.end(), [](const VrpPlugin* a, const VrpPlugin* b) { return a->name < b->name; });
  }
  DocumentDigest digest;
  Digester digester(digest);
  for (const VrpPlugin* plugin : plugins) digester.plugin(*plugin);
  digest.hash = digester.finish();
  return digest;
}

}  // namespace cvimp::bench

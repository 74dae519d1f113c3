#include "engine/jet/crypto/agile_descriptor.h"

#include <charconv>
#include <map>
#include <vector>

#include "engine/core/error.h"

namespace qv::jet::crypto {
namespace {

constexpr std::string_view kPasswordEncryptorUri =
    "http://schemas.microsoft.com/office/2006/keyEncryptor/password";

// One start tag: its name without namespace prefix and its attributes (names without prefix).
struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;
  std::size_t offset = 0;
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string LocalName(std::string_view qualified) {
  auto colon = qualified.find(':');
  return std::string(colon == std::string_view::npos ? qualified : qualified.substr(colon + 1));
}

// Reads every start tag of the document. The descriptor is small, flat and machine-written, so a
// tag scanner is enough; anything it does not understand is an error rather than a guess.
std::vector<Element> ScanElements(std::string_view xml, const std::string& where) {
  std::vector<Element> elements;
  std::size_t pos = 0;
  auto fail = [&](const char* what) -> void {
    ThrowCorrupt(std::string("The agile encryption descriptor is damaged: ") + what + " at character " +
                     std::to_string(pos) + ".",
                 where);
  };
  while ((pos = xml.find('<', pos)) != std::string_view::npos) {
    std::size_t start = pos++;
    if (pos >= xml.size()) fail("a tag is cut off");
    char c = xml[pos];
    if (c == '?' || c == '!' || c == '/') {
      std::size_t end = xml.find('>', pos);
      if (end == std::string_view::npos) fail("a tag is not closed");
      pos = end + 1;
      continue;
    }
    std::size_t nameEnd = pos;
    while (nameEnd < xml.size() && !IsSpace(xml[nameEnd]) && xml[nameEnd] != '>' && xml[nameEnd] != '/')
      ++nameEnd;
    if (nameEnd == pos) fail("a tag has no name");
    Element element;
    element.name = LocalName(xml.substr(pos, nameEnd - pos));
    element.offset = start;
    pos = nameEnd;
    for (;;) {
      while (pos < xml.size() && IsSpace(xml[pos])) ++pos;
      if (pos >= xml.size()) fail("a tag is not closed");
      if (xml[pos] == '>') {
        ++pos;
        break;
      }
      if (xml[pos] == '/') {
        if (pos + 1 >= xml.size() || xml[pos + 1] != '>') fail("a stray '/' in a tag");
        pos += 2;
        break;
      }
      std::size_t attrStart = pos;
      while (pos < xml.size() && xml[pos] != '=' && !IsSpace(xml[pos]) && xml[pos] != '>') ++pos;
      std::string attrName = LocalName(xml.substr(attrStart, pos - attrStart));
      while (pos < xml.size() && IsSpace(xml[pos])) ++pos;
      if (pos >= xml.size() || xml[pos] != '=' || attrName.empty()) fail("an attribute has no value");
      ++pos;
      while (pos < xml.size() && IsSpace(xml[pos])) ++pos;
      if (pos >= xml.size() || (xml[pos] != '"' && xml[pos] != '\''))
        fail("an attribute value is not quoted");
      char quote = xml[pos++];
      std::size_t valueEnd = xml.find(quote, pos);
      if (valueEnd == std::string_view::npos) fail("an attribute value is not closed");
      element.attributes[attrName] = std::string(xml.substr(pos, valueEnd - pos));
      pos = valueEnd + 1;
    }
    elements.push_back(std::move(element));
  }
  return elements;
}

class AttributeReader {
 public:
  AttributeReader(const Element& element, const std::string& where) : element_(element), where_(where) {}

  const std::string& Text(const char* name) const {
    auto it = element_.attributes.find(name);
    if (it == element_.attributes.end()) {
      ThrowCorrupt("The agile encryption descriptor lacks the attribute " + element_.name + "/" + name + ".",
                   where_);
    }
    return it->second;
  }

  std::uint32_t Number(const char* name) const {
    const std::string& text = Text(name);
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
      ThrowCorrupt("The agile encryption attribute " + element_.name + "/" + name + " is not a number.",
                   where_);
    }
    return value;
  }

  Bytes Base64(const char* name) const {
    Bytes out;
    if (!DecodeBase64(Text(name), out)) {
      ThrowCorrupt("The agile encryption attribute " + element_.name + "/" + name + " is not valid base64.",
                   where_);
    }
    return out;
  }

 private:
  const Element& element_;
  const std::string& where_;
};

[[noreturn]] void ThrowUnsupported(const std::string& what) {
  throw Error(errc::kEncrypted, "The database is encrypted with " + what + ", which cannot be opened.");
}

AgileCipherParams ReadCipherParams(const Element& element, const std::string& where) {
  AttributeReader attrs(element, where);
  AgileCipherParams params;
  const std::string& cipher = attrs.Text("cipherAlgorithm");
  if (cipher != "AES") ThrowUnsupported("the cipher \"" + cipher.substr(0, 32) + "\"");
  const std::string& chaining = attrs.Text("cipherChaining");
  if (chaining != "ChainingModeCBC") ThrowUnsupported("the chaining mode \"" + chaining.substr(0, 32) + "\"");
  params.hashName = attrs.Text("hashAlgorithm");
  if (params.hashName == "SHA1" || params.hashName == "SHA-1") {
    params.hash = HashAlgorithm::kSha1;
  } else if (params.hashName == "SHA256") {
    params.hash = HashAlgorithm::kSha256;
  } else if (params.hashName == "SHA384") {
    params.hash = HashAlgorithm::kSha384;
  } else if (params.hashName == "SHA512") {
    params.hash = HashAlgorithm::kSha512;
  } else {
    ThrowUnsupported("the hash algorithm \"" + params.hashName.substr(0, 32) + "\"");
  }
  params.keyBits = attrs.Number("keyBits");
  if (params.keyBits != 128 && params.keyBits != 192 && params.keyBits != 256) {
    ThrowCorrupt(
        "The agile encryption descriptor gives an AES key of " + std::to_string(params.keyBits) + " bits.",
        where);
  }
  params.blockSize = attrs.Number("blockSize");
  if (params.blockSize != 16) {
    ThrowCorrupt("The agile encryption descriptor gives an AES block of " + std::to_string(params.blockSize) +
                     " bytes.",
                 where);
  }
  params.hashSize = attrs.Number("hashSize");
  if (params.hashSize != DigestSize(params.hash)) {
    ThrowCorrupt("The agile encryption descriptor's hash size does not match its hash algorithm.", where);
  }
  params.salt = attrs.Base64("saltValue");
  std::uint32_t saltSize = attrs.Number("saltSize");
  if (saltSize != params.salt.size() || saltSize < 1 || saltSize > 65536) {
    ThrowCorrupt("The agile encryption descriptor's salt size does not match its salt.", where);
  }
  return params;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

bool DecodeBase64(std::string_view text, Bytes& out) {
  out.clear();
  std::uint32_t acc = 0;
  int bits = 0;
  int padding = 0;
  std::size_t symbols = 0;
  for (char c : text) {
    if (IsSpace(c)) continue;
    if (c == '=') {
      ++padding;
      ++symbols;
      continue;
    }
    int v = Base64Value(c);
    if (v < 0 || padding > 0) return false;
    ++symbols;
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<std::uint8_t>(acc >> bits));
    }
  }
  if (padding > 2) return false;
  // Padded text comes in groups of four; unpadded text may end in a group of two or three.
  if (padding > 0 && symbols % 4 != 0) return false;
  if (symbols % 4 == 1) return false;
  // Leftover bits must be zero, or the text was not made by an encoder.
  return (acc & ((1u << bits) - 1)) == 0;
}

AgileDescriptor ParseAgileDescriptor(std::string_view xml, const std::string& where) {
  std::vector<Element> elements = ScanElements(xml, where);
  const Element* keyData = nullptr;
  const Element* passwordKey = nullptr;
  bool inPasswordEncryptor = false;
  int passwordEncryptors = 0;
  for (const Element& element : elements) {
    if (element.name == "keyData" && keyData == nullptr) {
      keyData = &element;
    } else if (element.name == "keyEncryptor") {
      auto uri = element.attributes.find("uri");
      inPasswordEncryptor = uri != element.attributes.end() && uri->second == kPasswordEncryptorUri;
      if (inPasswordEncryptor) ++passwordEncryptors;
    } else if (element.name == "encryptedKey" && inPasswordEncryptor && passwordKey == nullptr) {
      passwordKey = &element;
    }
  }
  if (keyData == nullptr) ThrowCorrupt("The agile encryption descriptor has no keyData element.", where);
  if (passwordKey == nullptr || passwordEncryptors != 1) {
    // Certificate-only protection, or several password encryptors: not a database password.
    ThrowUnsupported("a key encryptor other than one password");
  }

  AgileDescriptor descriptor;
  descriptor.keyData = ReadCipherParams(*keyData, where);
  descriptor.password = ReadCipherParams(*passwordKey, where);
  AttributeReader attrs(*passwordKey, where);
  descriptor.spinCount = attrs.Number("spinCount");
  if (descriptor.spinCount > kMaxSpinCount) {
    ThrowCorrupt("The agile encryption spin count " + std::to_string(descriptor.spinCount) +
                     " is above the limit of ten million.",
                 where);
  }
  descriptor.encryptedVerifierHashInput = attrs.Base64("encryptedVerifierHashInput");
  descriptor.encryptedVerifierHashValue = attrs.Base64("encryptedVerifierHashValue");
  descriptor.encryptedKeyValue = attrs.Base64("encryptedKeyValue");

  auto checkBlocks = [&](const Bytes& value, std::size_t atLeast, const char* name) {
    if (value.size() % 16 != 0 || value.size() < atLeast) {
      ThrowCorrupt(std::string("The agile encryption attribute ") + name + " has a wrong length.", where);
    }
  };
  checkBlocks(descriptor.encryptedVerifierHashInput, 16, "encryptedVerifierHashInput");
  checkBlocks(descriptor.encryptedVerifierHashValue, descriptor.password.hashSize,
              "encryptedVerifierHashValue");
  checkBlocks(descriptor.encryptedKeyValue, descriptor.keyData.keyBits / 8, "encryptedKeyValue");
  return descriptor;
}

}  // namespace qv::jet::crypto

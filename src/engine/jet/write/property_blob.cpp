#include "engine/jet/write/property_blob.h"

#include <charconv>
#include <map>

#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/core/text_codec.h"
#include "engine/jet/format.h"
#include "engine/jet/write/value_encoder.h"

namespace qv::jet {

namespace {

// Text as the list stores it: UTF-16LE, or Windows-1252 in Jet3.
Bytes Text(const std::string& text, bool jet3) {
  if (jet3) {
    std::string bytes;
    if (!TextCodec("CP1252").FromUtf8(text, bytes))
      throw Error(errc::kTypeConversion,
                  "Property text '" + text + "' has a character code page 1252 lacks.");
    return Bytes(bytes.begin(), bytes.end());
  }
  std::size_t units = 0;
  bool valid = true;
  Bytes out = EncodeJet4Text(text, false, units, valid);
  if (!valid) throw Error(errc::kTypeConversion, "Property text '" + text + "' is not valid UTF-8.");
  return out;
}

[[noreturn]] void BadValue(const PropertyDescription& p) {
  throw Error(errc::kTypeConversion, "Property '" + p.name + "': value '" + p.value +
                                         "' does not fit its type " + std::to_string(p.type) + ".");
}

Bytes EncodeValue(const PropertyDescription& p, bool jet3) {
  if (p.type == col_type::kText || p.type == col_type::kMemo) return Text(p.value, jet3);
  bool hex = p.value.size() >= 2 && p.value.compare(0, 2, "0x") == 0;
  if (!hex && (p.type == col_type::kByte || p.type == col_type::kInt16 || p.type == col_type::kInt32)) {
    long long v = 0;
    auto [end, ec] = std::from_chars(p.value.data(), p.value.data() + p.value.size(), v);
    if (ec != std::errc() || end != p.value.data() + p.value.size()) BadValue(p);
    std::size_t size = p.type == col_type::kByte ? 1 : p.type == col_type::kInt16 ? 2 : 4;
    long long lo = p.type == col_type::kByte ? 0 : -(1LL << (8 * size - 1));
    long long hi = p.type == col_type::kByte ? 255 : (1LL << (8 * size - 1)) - 1;
    if (v < lo || v > hi) BadValue(p);
    Bytes out;
    for (std::size_t i = 0; i < size; ++i)
      out.push_back(static_cast<std::uint8_t>(static_cast<unsigned long long>(v) >> (8 * i)));
    return out;
  }
  // Everything else (Yes/No, binary, GUID, ... and numbers Access stored wider than their type,
  // such as a 4-byte ProjVer of type Integer) is given as its stored bytes in hexadecimal.
  if (!hex) BadValue(p);
  Bytes out;
  if (!FromHex(std::string_view(p.value).substr(2), out)) BadValue(p);
  return out;
}

}  // namespace

Bytes EncodePropertySet(const PropertySetDescription& set, bool jet3) {
  // Names in the order of first use; values refer to them by position.
  std::vector<std::string> names = set.names;
  std::map<std::string, std::uint16_t> index;
  for (std::size_t i = 0; i < names.size(); ++i) index.emplace(names[i], static_cast<std::uint16_t>(i));
  for (const auto& block : set.blocks)
    for (const auto& p : block.properties) {
      if (index.count(p.name)) continue;
      if (!set.names.empty())
        throw Error(errc::kInvalidArgument,
                    "Property '" + p.name + "' is missing from the names of '" + set.key + "'.");
      index.emplace(p.name, static_cast<std::uint16_t>(names.size()));
      names.push_back(p.name);
    }

  Bytes out = jet3 ? Bytes{'K', 'K', 'D', 0} : Bytes{'M', 'R', '2', 0};
  Bytes namesBlock;
  for (const auto& n : names) {
    Bytes u = Text(n, jet3);
    AppendU16(namesBlock, static_cast<std::uint16_t>(u.size()));
    namesBlock.insert(namesBlock.end(), u.begin(), u.end());
  }
  AppendU32(out, static_cast<std::uint32_t>(6 + namesBlock.size()));
  AppendU16(out, 0x80);
  out.insert(out.end(), namesBlock.begin(), namesBlock.end());

  for (const auto& block : set.blocks) {
    Bytes body;
    Bytes name = Text(block.name, jet3);
    AppendU32(body, static_cast<std::uint32_t>(6 + name.size()));
    AppendU16(body, static_cast<std::uint16_t>(name.size()));
    body.insert(body.end(), name.begin(), name.end());
    for (const auto& p : block.properties) {
      Bytes value = EncodeValue(p, jet3);
      if (value.size() > 0xffff - 8) BadValue(p);
      AppendU16(body, static_cast<std::uint16_t>(8 + value.size()));
      body.push_back(p.ddl);
      body.push_back(p.type);
      AppendU16(body, index.at(p.name));
      AppendU16(body, static_cast<std::uint16_t>(value.size()));
      body.insert(body.end(), value.begin(), value.end());
    }
    AppendU32(out, static_cast<std::uint32_t>(6 + body.size()));
    AppendU16(out, block.kind);
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

}  // namespace qv::jet

// Decoding through a layout, with and without the payload's index, against
// the plain walk, over sequences of random payloads that often repeat the
// last names section: well-formed ones and any mix of names, values and
// delimiters. The routines look up every name of the
// pool while they run, so the layout's answers to the lookup are compared too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "MemoryDataState.h"
#include "NameValueDecoder.h"
#include "NameValueLayout.h"
#include "NameValuePayload.h"
#include "VyrExpandedMessage.h"
#include "VyrGenericHsMessage.h"

namespace {
const char* const kNames[] = {"a", "b", "c", "Level1", "t", "x", "1;2", ""};

// Appends what the lookup finds for every name of the pool to the detail text.
void LookUpAll(const CVyrGenericHsMessage& msg, const NameValueDefn* d, IVyrDataState*, CVyrExpandedMessage* e,
               CVyrDecodeReceiver*, IKelCellRefs_Search*) {
  std::string& out = e->m_strDetailText.str();
  out += std::string(" <") + d->pszName;
  for (const char* name : kNames) {
    std::string_view v;
    if (NameValueFindValue(msg, name, v) == 0) out.append(" ").append(name).append("=").append(v);
  }
  out += ">";
}
void Throw(const CVyrGenericHsMessage& m, const NameValueDefn* d, IVyrDataState* s, CVyrExpandedMessage* e,
           CVyrDecodeReceiver* r, IKelCellRefs_Search* f) {
  LookUpAll(m, d, s, e, r, f);
  throw std::runtime_error("routine failed");
}

std::unique_ptr<NameValueDefnMap> MakeMap() {
  auto map = CreateNameValueDefnMap();
  NameValueDefn defns[] = {
      {"a", 7, "A", 0, 0, 101, 0, LookUpAll},  {"b", 11, "", 0, 0, 102, 2, nullptr},
      {"c", 0, "", 0, 0, 0, 0, nullptr},       {"Level1", 8, "L", 0, 0, 103, 1, LookUpAll},
      {"t", 1, "T", 0, 0, 104, 0, Throw},      {"1;2", 7, "S", 0, 0, 105, 0, LookUpAll},
  };
  for (NameValueDefn& d : defns) map->SetAt(d.pszName, d);
  return map;
}

std::string RandomPiece(std::mt19937& rng, const char* alphabet) {
  std::string s;
  for (size_t n = rng() % 4; n > 0; --n) s += alphabet[rng() % std::strlen(alphabet)];
  return s;
}

// A names section: mostly pool names each ended by "^", now and then a stray
// delimiter or an empty name.
std::string RandomNames(std::mt19937& rng) {
  std::string s;
  for (size_t n = rng() % 6; n > 0; --n) {
    if (rng() % 8 == 0) s += RandomPiece(rng, "ab^;,");
    else s += std::string(kNames[rng() % std::size(kNames)]) + "^";
  }
  return s;
}

std::string RandomValues(std::mt19937& rng) {
  std::string s;
  for (size_t n = rng() % 8; n > 0; --n) s += RandomPiece(rng, rng() % 6 == 0 ? "1-.;^,ab" : "1-.5,") + ";";
  if (rng() % 4 == 0) s += RandomPiece(rng, "12;");
  return s;
}

// Leaves the index that a builder of the payload would leave: the names
// section through the last "^", and every ";" after it. A payload that does
// not end in ";" gets one too: the decoder must see that it does not fit.
// With bSkew, the last value end is moved by one: the index no longer fits.
void LeaveIndex(CVyrGenericHsMessage& msg, const std::string& payload, bool bSkew) {
  const size_t lastCaret = payload.rfind('^');
  const size_t nNames = lastCaret == std::string::npos ? 0 : lastCaret + 1;
  std::vector<std::uint32_t> ends;
  for (size_t i = nNames; i < payload.size(); ++i)
    if (payload[i] == ';') ends.push_back(static_cast<std::uint32_t>(i));
  if (bSkew && !ends.empty()) ends.back() -= 1;
  std::uint32_t* out = msg.AllocPayloadIndex(static_cast<std::uint32_t>(nNames), static_cast<std::uint32_t>(ends.size()));
  std::copy(ends.begin(), ends.end(), out);
}

enum class Index { None, Fitting, Skewed };

// The detail text and every write of decoding the payload.
std::string Decode(const std::string& payload, const NameValueDefnMap& map, CNameValueLayout* pLayout,
                   Index index = Index::None) {
  CVyrMemoryDataState ds;
  ds.SetRecordWrites(true);
  CVyrExpandedMessage expanded;
  expanded.m_bWantDetailText = true;
  CVyrGenericHsMessage msg;
  char* buf = msg.AllocMsgBuf(static_cast<int>(payload.size()));
  if (!payload.empty()) std::memcpy(buf, payload.data(), payload.size());
  if (index != Index::None) LeaveIndex(msg, payload, index == Index::Skewed);
  NameValueDecoder decoder{&ds, &expanded, nullptr, nullptr};
  decoder.Decode(msg, map, pLayout);
  std::string out = expanded.m_strDetailText.str();
  for (const auto& w : ds.GetWrites()) {
    char line[96];
    std::snprintf(line, sizeof line, "\n%d[%d] %d %a ", w.nAttrId, w.nIndex, static_cast<int>(w.op), w.dValue);
    out += line + w.strValue;
  }
  return out;
}

TEST(NameValueLayoutDiff, LayoutDecodesLikeThePlainWalk) {
  const auto map = MakeMap();
  CNameValueLayout layout, indexedLayout;
  std::mt19937 rng(3);
  std::string names = "a^b^";
  int nFailures = 0;
  for (int i = 0; i < 20000 && nFailures < 10; ++i) {
    if (rng() % 4 == 0) names = RandomNames(rng);
    const std::string payload = names + RandomValues(rng);
    const std::string plain = Decode(payload, *map, nullptr);
    const std::string split = Decode(payload, *map, &layout);
    // The payload's own index (now and then one that does not fit) must give the same.
    const std::string indexed = Decode(payload, *map, &indexedLayout, rng() % 8 == 0 ? Index::Skewed : Index::Fitting);
    if (plain != split || plain != indexed) {
      ++nFailures;
      ADD_FAILURE() << "payload \"" << payload << "\"\nplain: " << plain << "\nlayout: " << split
                    << "\nindexed: " << indexed;
    }
  }
}
}  // namespace

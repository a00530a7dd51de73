#include "archivers/lha/LhaEncoder.h"

#include <algorithm>
#include <cstring>

namespace lha {

namespace {

constexpr int MaxMatch = 256;
constexpr int MinMatch = 3;
constexpr int NC = 256 + MaxMatch - MinMatch + 2;  // 510 literal/length symbols
constexpr int CBIT = 9;
constexpr int NT = 19;  // code-length symbols
constexpr int TBIT = 5;
constexpr int MaxCodeLength = 16;
constexpr int HashBits = 16;
constexpr int HashSize = 1 << HashBits;
// Short blocks follow changes in the data; measured best among 2K-64K tokens.
constexpr int BlockTokens = 8192;
constexpr int Lookahead = 1 << 18;

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

class BitWriter {
 public:
  explicit BitWriter(std::function<void(const uint8_t*, size_t)>& sink) : sink_(sink) {}
  void Put(int bits, uint32_t value) {
    if (bits == 0) return;
    acc_ = (acc_ << bits) | (value & ((1u << bits) - 1));
    count_ += bits;
    while (count_ >= 8) {
      count_ -= 8;
      out_.push_back(static_cast<uint8_t>(acc_ >> count_));
    }
    if (out_.size() >= 65536) Flush();
  }
  void Align() {
    if (count_ > 0) Put(8 - count_, 0);
  }
  void Flush() {
    if (out_.empty()) return;
    sink_(out_.data(), out_.size());
    total_ += out_.size();
    out_.clear();
  }
  uint64_t Total() const { return total_ + out_.size(); }
  void Reset() {
    out_.clear();
    acc_ = 0;
    count_ = 0;
    total_ = 0;
  }

 private:
  std::function<void(const uint8_t*, size_t)>& sink_;
  std::vector<uint8_t> out_;
  uint64_t acc_ = 0;
  int count_ = 0;
  uint64_t total_ = 0;
};

// Code lengths limited to 16 bits, then canonical codes.
void BuildLengths(const uint32_t* freq, int n, uint8_t* length) {
  std::memset(length, 0, n);
  // Fixed arrays: three trees per block, and a small file is one block.
  int leaves[NC];
  size_t leafCount = 0;
  for (int i = 0; i < n; ++i) {
    if (freq[i] != 0) leaves[leafCount++] = i;
  }
  if (leafCount < 2) return;
  // Plain Huffman depths through a node array and a sorted merge.
  struct Node {
    uint64_t weight;
    int left, right;
  };
  Node nodes[2 * NC];
  size_t nodeCount = 0;
  // Ties in symbol order, as a stable sort leaves them.
  std::sort(leaves, leaves + leafCount, [&](int a, int b) { return freq[a] < freq[b] || (freq[a] == freq[b] && a < b); });
  for (size_t i = 0; i < leafCount; ++i) nodes[nodeCount++] = {freq[leaves[i]], -1, leaves[i]};
  size_t leafNext = 0, innerNext = leafCount;
  auto take = [&]() {
    if (leafNext < leafCount && (innerNext >= nodeCount || nodes[leafNext].weight <= nodes[innerNext].weight))
      return static_cast<int>(leafNext++);
    return static_cast<int>(innerNext++);
  };
  for (size_t merged = 0; merged + 1 < leafCount; ++merged) {
    int a = take(), b = take();
    nodes[nodeCount++] = {nodes[a].weight + nodes[b].weight, a, b};
  }
  int depth[2 * NC];
  depth[nodeCount - 1] = 0;
  for (int i = static_cast<int>(nodeCount) - 1; i >= static_cast<int>(leafCount); --i) {
    depth[nodes[i].left] = depth[i] + 1;
    depth[nodes[i].right] = depth[i] + 1;
  }
  int count[MaxCodeLength + 1] = {};
  for (size_t i = 0; i < leafCount; ++i) count[std::min(depth[i], MaxCodeLength)]++;
  // Fold over-long codes back until the lengths form a complete prefix code.
  uint32_t kraft = 0;
  for (int i = 1; i <= MaxCodeLength; ++i) kraft += static_cast<uint32_t>(count[i]) << (MaxCodeLength - i);
  while (kraft != (1u << MaxCodeLength)) {
    count[MaxCodeLength]--;
    for (int i = MaxCodeLength - 1; i > 0; --i) {
      if (count[i] != 0) {
        count[i]--;
        count[i + 1] += 2;
        break;
      }
    }
    kraft--;
  }
  // Most frequent symbols get the shortest codes.
  size_t at = leafCount;
  for (int len = 1; len <= MaxCodeLength; ++len) {
    for (int k = 0; k < count[len]; ++k) length[leaves[--at]] = static_cast<uint8_t>(len);
  }
}

void MakeCodes(int n, const uint8_t* length, uint16_t* code) {
  uint16_t start[MaxCodeLength + 2] = {};
  int count[MaxCodeLength + 1] = {};
  for (int i = 0; i < n; ++i) count[length[i]]++;
  count[0] = 0;
  for (int i = 1; i <= MaxCodeLength; ++i) start[i + 1] = static_cast<uint16_t>((start[i] + count[i]) << 1);
  for (int i = 0; i < n; ++i) code[i] = length[i] ? start[length[i]]++ : 0;
}

int SingleSymbol(const uint32_t* freq, int n) {
  int found = -1;
  for (int i = 0; i < n; ++i) {
    if (freq[i] == 0) continue;
    if (found >= 0) return -1;
    found = i;
  }
  return found < 0 ? 0 : found;
}


// -lh1-: the literal/length symbols (256 bytes, then lengths 3-60) go through
// an adaptive Huffman tree that the decoder rebuilds symbol by symbol in the
// same way; match positions use a fixed code for their upper 6 bits.
constexpr int Lh1MaxMatch = 60;
constexpr int Lh1Symbols = 256 + Lh1MaxMatch - MinMatch + 1;  // 314
constexpr int Lh1Nodes = Lh1Symbols * 2 - 1;
constexpr int Lh1Root = Lh1Nodes - 1;
constexpr uint32_t Lh1MaxFrequency = 0x8000;  // the root's count that halves all counts
// The window is 4 KiB; distances reach 4095 so that no reader needs the
// bytes it fills the window with before the data.
constexpr int Lh1Window = 4095;

class AdaptiveCoder {
 public:
  AdaptiveCoder() {
    for (int i = 0; i < Lh1Symbols; ++i) {
      freq_[i] = 1;
      son_[i] = i + Lh1Nodes;
      parent_[i + Lh1Nodes] = i;
    }
    for (int i = 0, j = Lh1Symbols; j <= Lh1Root; i += 2, ++j) {
      freq_[j] = freq_[i] + freq_[i + 1];
      son_[j] = i;
      parent_[i] = parent_[i + 1] = j;
    }
    freq_[Lh1Nodes] = 0xFFFF;  // sentinel for the reordering search
    parent_[Lh1Root] = 0;
  }

  void Encode(BitWriter& writer, int symbol) {
    // The path from the leaf up, one bit per node: odd nodes are the 1 side.
    uint32_t bits[Lh1Nodes];
    int depth = 0;
    for (int k = parent_[symbol + Lh1Nodes]; k != Lh1Root; k = parent_[k]) bits[depth++] = k & 1;
    while (depth > 0) writer.Put(1, bits[--depth]);
    Update(symbol);
  }

  // bit() gives the next bit of the stream.
  template <typename Bit>
  int Decode(Bit bit) {
    int c = son_[Lh1Root];
    while (c < Lh1Nodes) c = son_[c + bit()];
    c -= Lh1Nodes;
    Update(c);
    return c;
  }

 private:
  // Halves every count and rebuilds the tree when the root's count is full.
  void Rebuild() {
    int j = 0;
    for (int i = 0; i < Lh1Nodes; ++i) {
      if (son_[i] >= Lh1Nodes) {
        freq_[j] = (freq_[i] + 1) / 2;
        son_[j] = son_[i];
        ++j;
      }
    }
    for (int i = 0, j2 = Lh1Symbols; j2 < Lh1Nodes; i += 2, ++j2) {
      uint32_t f = freq_[i] + freq_[i + 1];
      freq_[j2] = f;
      int k = j2 - 1;
      while (f < freq_[k]) --k;
      ++k;
      std::memmove(&freq_[k + 1], &freq_[k], (j2 - k) * sizeof freq_[0]);
      freq_[k] = f;
      std::memmove(&son_[k + 1], &son_[k], (j2 - k) * sizeof son_[0]);
      son_[k] = i;
    }
    for (int i = 0; i < Lh1Nodes; ++i) {
      int k = son_[i];
      if (k >= Lh1Nodes) parent_[k] = i;
      else parent_[k] = parent_[k + 1] = i;
    }
  }

  // Counts the symbol on its path to the root, swapping a node with the last
  // one of smaller count so the counts stay in order.
  void Update(int symbol) {
    if (freq_[Lh1Root] == Lh1MaxFrequency) Rebuild();
    int c = parent_[symbol + Lh1Nodes];
    do {
      uint32_t k = ++freq_[c];
      int l = c + 1;
      if (k > freq_[l]) {
        while (k > freq_[++l]) {
        }
        --l;
        freq_[c] = freq_[l];
        freq_[l] = k;
        int i = son_[c];
        parent_[i] = l;
        if (i < Lh1Nodes) parent_[i + 1] = l;
        int j = son_[l];
        son_[l] = i;
        parent_[j] = c;
        if (j < Lh1Nodes) parent_[j + 1] = c;
        son_[c] = j;
        c = l;
      }
    } while ((c = parent_[c]) != 0);
  }

  uint32_t freq_[Lh1Nodes + 1];
  int parent_[Lh1Nodes + Lh1Symbols];
  int son_[Lh1Nodes];
};

// The fixed code of a position's upper 6 bits: 1 code of 3 bits, 3 of 4,
// 8 of 5, 12 of 6, 24 of 7 and 16 of 8, assigned in order.
struct Lh1PositionTable {
  uint8_t length[64];
  uint8_t code[64];
  uint8_t symbolOf[256];  // by the next 8 bits of the stream
  Lh1PositionTable() {
      static const int counts[] = {0, 0, 0, 1, 3, 8, 12, 24, 16};
      int symbol = 0;
      uint32_t code = 0;
      for (int bits = 3; bits <= 8; ++bits) {
        for (int n = 0; n < counts[bits]; ++n, ++symbol, ++code) {
          length[symbol] = static_cast<uint8_t>(bits);
          this->code[symbol] = static_cast<uint8_t>(code);
          uint32_t first = code << (8 - bits);
          for (uint32_t i = 0; i < (1u << (8 - bits)); ++i) symbolOf[first + i] = static_cast<uint8_t>(symbol);
        }
        code <<= 1;
      }
  }
};
const Lh1PositionTable& PositionTable() {
  static const Lh1PositionTable table;
  return table;
}

void PutLh1Position(BitWriter& writer, uint32_t position) {
  const auto& table = PositionTable();
  uint32_t upper = position >> 6;
  writer.Put(table.length[upper], table.code[upper]);
  writer.Put(6, position & 63);
}

}  // namespace

struct Encoder::State {
  State(int bits, std::function<void(const uint8_t*, size_t)> s)
      : dictionaryBits(bits), dictionarySize(bits == 12 ? Lh1Window : 1 << bits), np(bits + 1),
        pbit(bits == 13 ? 4 : 5), maxMatch(bits == 12 ? Lh1MaxMatch : MaxMatch), sink(std::move(s)), writer(sink) {
    if (bits == 12) adaptive = std::make_unique<AdaptiveCoder>();
    window.resize(dictionarySize + Lookahead + MaxMatch);
    head.assign(HashSize, -1);
    prev.assign(window.size(), -1);
    head4.assign(HashSize, -1);
    prev4.assign(window.size(), -1);
    count.assign(HashSize, 0);
    rank.assign(window.size(), 0);
    maxChain = 256;
  }

  int dictionaryBits, dictionarySize, np, pbit, maxMatch;
  std::unique_ptr<AdaptiveCoder> adaptive;  // lh1: symbols go out at once, no blocks
  std::function<void(const uint8_t*, size_t)> sink;
  BitWriter writer;
  std::vector<uint8_t> window;
  std::vector<int> head, prev;
  // The same positions chained by their first four bytes, and each one's
  // place in its three-byte chain (count: insertions per three-byte chain).
  // Once a match is found, only candidates whose first four bytes agree can
  // beat it: the four-byte chain reaches them without visiting the others,
  // and the places tell where the three-byte search would have stopped.
  std::vector<int> head4, prev4;
  std::vector<uint32_t> count, rank;
  int filled = 0, position = 0, inserted = 0;
  bool slid = false;  // the window moved since the stream began
  int maxChain;
  // Pending block: tokens as (length, distance - 1); length 0 = literal in distance.
  std::vector<uint16_t> tokenLength, tokenValue;
  uint32_t cFreq[NC] = {}, pFreq[18] = {};
  // Lazy matching state.
  bool havePending = false;
  int pendingLength = 0, pendingDistance = 0;
  uint8_t pendingLiteral = 0;

  static uint32_t Hash(const uint8_t* p) {
    return ((p[0] << 10) ^ (p[1] << 5) ^ p[2]) & (HashSize - 1);
  }

  static uint32_t Hash4(const uint8_t* p) { return (Load32(p) * 2654435761u) >> (32 - HashBits); }
  void Insert(int at) {
    uint32_t h = Hash(&window[at]);
    prev[at] = head[h];
    head[h] = at;
    rank[at] = count[h]++;
    // The last three bytes of the data have no fourth: no match can need them there.
    if (at + 4 <= filled) {
      uint32_t h4 = Hash4(&window[at]);
      prev4[at] = head4[h4];
      head4[h4] = at;
    }
  }

  // How many of the first limit bytes agree, eight at a time.
  static int MatchLength(const uint8_t* there, const uint8_t* here, int limit) {
    int len = 0;
    while (len + 8 <= limit) {
      uint64_t a, b;
      std::memcpy(&a, there + len, 8);
      std::memcpy(&b, here + len, 8);
      if (uint64_t diff = a ^ b) return len + (__builtin_ctzll(diff) >> 3);
      len += 8;
    }
    while (len < limit && there[len] == here[len]) ++len;
    return len;
  }
  // The first longest match among the newest maxChain candidates.
  int LongestMatch(int at, int available, int& distance) {
    int best = 0;
    int limit = std::min(available, maxMatch);
    if (limit < MinMatch) return 0;
    const uint8_t* w = window.data();
    const uint8_t* here = w + at;
    uint32_t h = Hash(here);
    int candidate = head[h];
    int chain = maxChain;
    const int oldest = at - dictionarySize;
    // Until the first match: every candidate of the three-byte chain.
    while (candidate >= 0 && chain-- > 0) {
      if (candidate < oldest || candidate >= at) break;
      const uint8_t* there = w + candidate;
      if (there[0] == here[0] && there[1] == here[1] && there[2] == here[2]) {
        best = MatchLength(there, here, limit);
        distance = at - candidate;
        break;
      }
      candidate = prev[candidate];
    }
    if (best < MinMatch || best >= limit) return best >= MinMatch ? best : 0;
    // Then only the candidates whose first best + 1 bytes agree can win, and
    // those lie on the four-byte chain; a candidate's place in the three-byte
    // chain is where the search above would have counted it.
    const int* chainOf4 = prev4.data();
    const uint32_t* rankOf = rank.data();
    const uint32_t last = count[h] - 1;  // the place of the chain's newest
    const uint32_t here3 = Load32(here) & 0xFFFFFF;
    int from = candidate;
    if (best >= 4) {
      candidate = chainOf4[from];
    } else {
      candidate = head4[Hash4(here)];
      while (candidate >= from) candidate = chainOf4[candidate];
    }
    int tailAt = best - 3;
    uint32_t tail = Load32(here + tailAt);  // here[best - 3 .. best]
    for (; candidate >= 0; candidate = chainOf4[candidate]) {
      if (candidate < oldest) break;
      const uint8_t* there = w + candidate;
      if ((Load32(there) & 0xFFFFFF) != here3) continue;  // not on the three-byte chain
      if (last - rankOf[candidate] >= static_cast<uint32_t>(maxChain)) break;
      if (Load32(there + tailAt) != tail) continue;
      int len = MatchLength(there, here, limit);
      if (len > best) {
        best = len;
        distance = at - candidate;
        if (len >= limit) break;
        tailAt = best - 3;
        tail = Load32(here + tailAt);
      }
    }
    return best;
  }
  void Literal(uint8_t c) {
    if (adaptive) {
      adaptive->Encode(writer, c);
      return;
    }
    tokenLength.push_back(0);
    tokenValue.push_back(c);
    cFreq[c]++;
    if (tokenLength.size() >= BlockTokens) SendBlock();
  }

  static int BitLength(uint32_t p) {
    int c = 0;
    while (p) {
      p >>= 1;
      ++c;
    }
    return c;
  }

  void Match(int length, int distance) {
    if (adaptive) {
      adaptive->Encode(writer, length + 256 - MinMatch);
      PutLh1Position(writer, static_cast<uint32_t>(distance - 1));
      return;
    }
    tokenLength.push_back(static_cast<uint16_t>(length));
    tokenValue.push_back(static_cast<uint16_t>(distance - 1));
    cFreq[length + 256 - MinMatch]++;
    pFreq[BitLength(distance - 1)]++;
    if (tokenLength.size() >= BlockTokens) SendBlock();
  }

  void WritePtLengths(const uint8_t* length, int n, int nbit, int special) {
    while (n > 0 && length[n - 1] == 0) --n;
    writer.Put(nbit, n);
    int i = 0;
    while (i < n) {
      int k = length[i++];
      if (k <= 6) writer.Put(3, k);
      else writer.Put(k - 3, (1u << (k - 3)) - 2);
      if (i == special) {
        while (i < 6 && length[i] == 0) ++i;
        writer.Put(2, (i - 3) & 3);
      }
    }
  }

  // The code lengths of the literal/length tree, run-length coded.
  template <typename Emit>
  static void WalkCLengths(const uint8_t* cLength, Emit emit) {
    int n = NC;
    while (n > 0 && cLength[n - 1] == 0) --n;
    int i = 0;
    while (i < n) {
      int k = cLength[i++];
      if (k == 0) {
        int count = 1;
        while (i < n && cLength[i] == 0) {
          ++i;
          ++count;
        }
        if (count <= 2) {
          for (int j = 0; j < count; ++j) emit(0, 0, 0);
        } else if (count <= 18) {
          emit(1, 4, count - 3);
        } else if (count == 19) {
          emit(0, 0, 0);
          emit(1, 4, 15);
        } else {
          emit(2, CBIT, count - 20);
        }
      } else {
        emit(k + 2, 0, 0);
      }
    }
  }

  void SendBlock() {
    if (tokenLength.empty()) return;
    uint8_t cLength[NC];
    uint16_t cCode[NC];
    BuildLengths(cFreq, NC, cLength);
    MakeCodes(NC, cLength, cCode);
    writer.Put(16, static_cast<uint32_t>(tokenLength.size()));
    int single = SingleSymbol(cFreq, NC);
    if (single < 0) {
      uint32_t tFreq[NT] = {};
      WalkCLengths(cLength, [&](int symbol, int, int) { tFreq[symbol]++; });
      uint8_t tLength[NT];
      uint16_t tCode[NT];
      BuildLengths(tFreq, NT, tLength);
      MakeCodes(NT, tLength, tCode);
      int tSingle = SingleSymbol(tFreq, NT);
      if (tSingle < 0) {
        WritePtLengths(tLength, NT, TBIT, 3);
      } else {
        writer.Put(TBIT, 0);
        writer.Put(TBIT, tSingle);
      }
      int n = NC;
      while (n > 0 && cLength[n - 1] == 0) --n;
      writer.Put(CBIT, n);
      WalkCLengths(cLength, [&](int symbol, int extraBits, int extra) {
        writer.Put(tLength[symbol], tCode[symbol]);
        writer.Put(extraBits, extra);
      });
    } else {
      writer.Put(TBIT, 0);
      writer.Put(TBIT, 0);
      writer.Put(CBIT, 0);
      writer.Put(CBIT, single);
    }
    uint8_t pLength[18];
    uint16_t pCode[18];
    BuildLengths(pFreq, np, pLength);
    MakeCodes(np, pLength, pCode);
    int pSingle = SingleSymbol(pFreq, np);
    if (pSingle < 0) {
      WritePtLengths(pLength, np, pbit, -1);
    } else {
      writer.Put(pbit, 0);
      writer.Put(pbit, pSingle);
    }
    for (size_t i = 0; i < tokenLength.size(); ++i) {
      if (tokenLength[i] == 0) {
        int c = tokenValue[i];
        writer.Put(cLength[c], cCode[c]);
      } else {
        int c = tokenLength[i] + 256 - MinMatch;
        writer.Put(cLength[c], cCode[c]);
        uint32_t p = tokenValue[i];
        int bits = BitLength(p);
        writer.Put(pLength[bits], pCode[bits]);
        if (bits > 1) writer.Put(bits - 1, p & ((1u << (bits - 1)) - 1));
      }
    }
    tokenLength.clear();
    tokenValue.clear();
    std::memset(cFreq, 0, sizeof cFreq);
    std::memset(pFreq, 0, sizeof pFreq);
  }

  // Moves the last dictionary's worth of data to the front of the window.
  void Slide() {
    int keep = dictionarySize;
    int delta = position - keep;
    if (delta <= 0) return;
    std::memmove(window.data(), window.data() + delta, filled - delta);
    filled -= delta;
    position -= delta;
    inserted -= delta;
    slid = true;
    for (auto& h : head) h = h >= delta ? h - delta : -1;
    for (auto& h : head4) h = h >= delta ? h - delta : -1;
    for (int i = 0; i < filled; ++i) {
      int p = prev[i + delta];
      prev[i] = p >= delta ? p - delta : -1;
      p = prev4[i + delta];
      prev4[i] = p >= delta ? p - delta : -1;
      rank[i] = rank[i + delta];
    }
  }

  // Back to the state of a new encoder. prev needs nothing: only chains that
  // start at head reach it, and every inserted position sets its own entry.
  void Reset() {
    if (!slid && inserted < HashSize / 8) {
      // The window still holds what was inserted: clear just those buckets.
      for (int at = 0; at < inserted; ++at) {
        uint32_t h = Hash(&window[at]);
        head[h] = -1;
        count[h] = 0;
        if (at + 4 <= filled) head4[Hash4(&window[at])] = -1;
      }
    } else {
      std::fill(head.begin(), head.end(), -1);
      std::fill(head4.begin(), head4.end(), -1);
      std::fill(count.begin(), count.end(), 0);
    }
    filled = position = inserted = 0;
    slid = false;
    tokenLength.clear();
    tokenValue.clear();
    std::memset(cFreq, 0, sizeof cFreq);
    std::memset(pFreq, 0, sizeof pFreq);
    havePending = false;
    pendingLength = pendingDistance = 0;
    pendingLiteral = 0;
    writer.Reset();
    if (adaptive) adaptive = std::make_unique<AdaptiveCoder>();
  }

  // Encodes what is in the window, keeping MaxMatch bytes of look-ahead
  // unless this is the end.
  void Compress(bool final) {
    int stop = final ? filled : filled - MaxMatch;
    while (position < stop) {
      int available = filled - position;
      // Everything before this position is searchable; this one is not yet.
      while (inserted < position && inserted + MinMatch <= filled) Insert(inserted++);
      int distance = 0;
      int length = available >= MinMatch ? LongestMatch(position, available, distance) : 0;
      if (havePending) {
        // The later match wins only when it pays for the literal it costs.
        if (length > pendingLength + 1 ||
            (length == pendingLength + 1 && BitLength(distance - 1) <= BitLength(pendingDistance - 1))) {
          Literal(pendingLiteral);
          pendingLength = length;
          pendingDistance = distance;
          pendingLiteral = window[position];
          ++position;
          continue;
        }
        Match(pendingLength, pendingDistance);
        int end = position - 1 + pendingLength;
        havePending = false;
        position = end;
        continue;
      }
      if (length >= MinMatch) {
        // Look one byte further before committing to a short match.
        if (length < std::min(32, maxMatch) && position + 1 < stop) {
          havePending = true;
          pendingLength = length;
          pendingDistance = distance;
          pendingLiteral = window[position];
          ++position;
          continue;
        }
        Match(length, distance);
        int end = position + length;
        position = end;
        continue;
      }
      Literal(window[position]);
      ++position;
    }
    if (final && havePending) {
      Match(pendingLength, pendingDistance);
      havePending = false;
    }
  }
};

Encoder::Encoder(int dictionaryBits, std::function<void(const uint8_t*, size_t)> sink)
    : s_(std::make_unique<State>(dictionaryBits, std::move(sink))) {}

Encoder::~Encoder() = default;

void Encoder::Reset() { s_->Reset(); }

void Encoder::Write(const uint8_t* data, size_t size) {
  State& s = *s_;
  while (size > 0) {
    if (s.filled == static_cast<int>(s.window.size())) {
      s.Compress(false);
      s.Slide();
    }
    size_t room = s.window.size() - s.filled;
    size_t take = std::min(room, size);
    std::memcpy(s.window.data() + s.filled, data, take);
    s.filled += static_cast<int>(take);
    data += take;
    size -= take;
  }
}

void Encoder::Finish() {
  State& s = *s_;
  s.Compress(true);
  s.SendBlock();
  s.writer.Align();
  s.writer.Flush();
}

uint64_t Encoder::OutputSize() const { return s_->writer.Total(); }

struct Lh1Decoder::State {
  std::function<size_t(uint8_t*, size_t)> source;
  uint64_t remaining;
  AdaptiveCoder tree;
  uint8_t input[4096];
  size_t inputSize = 0, inputAt = 0;
  bool ended = false;
  int overrun = 0;  // bytes taken past the end (as zeros) for a look-ahead
  uint32_t bits = 0;
  int bitCount = 0;
  // The window starts as blanks, as the first writers left it.
  uint8_t window[4096];
  uint32_t at = 4096 - Lh1MaxMatch;
  uint32_t copyFrom = 0, copyLeft = 0;

  uint8_t NextByte() {
    if (inputAt == inputSize && !ended) {
      inputSize = source(input, sizeof input);
      inputAt = 0;
      ended = inputSize == 0;
    }
    if (inputAt < inputSize) return input[inputAt++];
    // Only the position look-ahead may pass the end, by a byte at most.
    if (++overrun > 2) throw Corrupt{};
    return 0;
  }
  uint32_t Peek(int n) {
    while (bitCount < n) {
      bits = bits << 8 | NextByte();
      bitCount += 8;
    }
    return (bits >> (bitCount - n)) & ((1u << n) - 1);
  }
  uint32_t Get(int n) {
    uint32_t value = Peek(n);
    bitCount -= n;
    return value;
  }
};

Lh1Decoder::Lh1Decoder(std::function<size_t(uint8_t*, size_t)> source, uint64_t originalSize)
    : s_(std::make_unique<State>()) {
  s_->source = std::move(source);
  s_->remaining = originalSize;
  std::memset(s_->window, ' ', sizeof s_->window);
}

Lh1Decoder::~Lh1Decoder() = default;

size_t Lh1Decoder::Read(uint8_t* buffer, size_t size) {
  State& s = *s_;
  size_t done = 0;
  while (done < size && s.remaining > 0) {
    if (s.copyLeft > 0) {
      uint8_t c = s.window[s.copyFrom++ & 4095];
      --s.copyLeft;
      s.window[s.at++ & 4095] = c;
      buffer[done++] = c;
      --s.remaining;
      continue;
    }
    int symbol = s.tree.Decode([&]() { return static_cast<int>(s.Get(1)); });
    if (symbol < 256) {
      s.window[s.at++ & 4095] = static_cast<uint8_t>(symbol);
      buffer[done++] = static_cast<uint8_t>(symbol);
      --s.remaining;
      continue;
    }
    const auto& table = PositionTable();
    int upper = table.symbolOf[s.Peek(8)];
    s.Get(table.length[upper]);
    uint32_t position = static_cast<uint32_t>(upper) << 6 | s.Get(6);
    s.copyFrom = s.at - position - 1;
    s.copyLeft = static_cast<uint32_t>(symbol - 256 + MinMatch);
  }
  return done;
}

}  // namespace lha

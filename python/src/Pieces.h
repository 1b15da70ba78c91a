// One log decoded for Python in pieces side by side: each piece has a
// collector of its own behind the cut, and the collectors are handed back in
// file order to be joined into what one decode collects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "vyr/Cut.h"
#include "vyr/Log.h"

// With VYRHOST_PIECE_BYTES set, "vyrhost: PATH: N pieces, M decoded again"
// goes to the standard error after a log decoded in pieces, as the command
// line writes it.
void NotePieces(const std::string& path, const vyr::DecodeResult& result);

// A collector behind the cut (none when the cut is empty), with the bands of
// the plans that the cut met in its piece.
template <class Collector>
class CCutCollector final : public vyr::LogVisitor {
 public:
  template <class... Args>
  explicit CCutCollector(const vyr::LevelCut& cut, Args&&... args)
      : collector(std::forward<Args>(args)...), m_cut(WithBands(cut, &bands)), m_cutVisitor(m_cut, collector),
        m_front(cut.Empty() ? static_cast<vyr::LogVisitor&>(collector) : m_cutVisitor) {}

  void OnSection(const vyr::Section& s) override { m_front.OnSection(s); }
  void OnLevels(const vyr::Message& m, const vyr::Level* levels, std::size_t count) override {
    m_front.OnLevels(m, levels, count);
  }
  void OnSweep(const vyr::Message& m, const vyr::Sweep& sweep) override { m_front.OnSweep(m, sweep); }
  void OnMessage(const vyr::Message& m) override { m_front.OnMessage(m); }

  vyr::PlanBands bands;
  Collector collector;

 private:
  static vyr::LevelCut WithBands(vyr::LevelCut cut, vyr::PlanBands* pBands) {
    cut.planBands = pBands;
    return cut;
  }

  vyr::LevelCut m_cut;  // the cut, telling bands
  vyr::CutVisitor m_cutVisitor;
  vyr::LogVisitor& m_front;
};

// Decodes path in pieces on jobs threads, a collector made of args for each
// piece, and hands the collectors to joiner.Add in file order; as the pieces
// are taken, joiner.Expect is told the share of the log read so far. Raises
// vyr::LogError for a refused log and std::invalid_argument for a cut band
// that the log does not lay down.
template <class Collector, class Joiner, class... Args>
void CollectInPieces(const std::string& path, vyr::DecodeRequest request, const vyr::LevelCut& cut, int jobs,
                     Joiner& joiner, const Args&... args) {
  using Piece = CCutCollector<Collector>;
  request.progress = [&](std::uint64_t done, std::uint64_t total) {
    if (done == 0 || done >= total) return;
    try {
      joiner.Expect(static_cast<double>(done) / static_cast<double>(total));
    } catch (const std::exception&) {  // std::bad_alloc, std::length_error
    }
  };
  vyr::LogDecoder decoder(request);
  vyr::PlanBands bands;
  // What the join raises (out of memory) stops the decode and is raised here,
  // as one decode raises it; a room not given only costs regrowth.
  std::exception_ptr joinError;
  const vyr::DecodeResult r = decoder.DecodeInPieces(
      path, vyr::LogDecoder::PieceOptionsFor(jobs),
      [&](std::size_t) -> std::unique_ptr<vyr::LogVisitor> { return std::make_unique<Piece>(cut, args...); },
      [&](std::size_t, vyr::LogVisitor& visitor) {
        auto& piece = static_cast<Piece&>(visitor);
        if (joinError) return;
        try {
          bands.Add(piece.bands.Numbers());
          joiner.Add(piece.collector);
        } catch (...) {
          joinError = std::current_exception();
          decoder.Stop();
        }
      });
  if (joinError) std::rethrow_exception(joinError);
  NotePieces(path, r);
  if (!r.Ok() && r.code != vyr::DecodeResult::kStopped) throw vyr::LogError(path, r);
  if (cut.band != 0 && !bands.Has(cut.band)) throw std::invalid_argument(vyr::UnknownBandText(cut.band, bands.Numbers()));
}

// Room in a joined column for what the whole log will bring, judged by the
// share read so far: growing by doubling would copy it again and again and
// touch about twice its pages. Room that is never filled is never touched,
// so it takes no memory.
template <class T>
void ReserveFor(std::vector<T>& v, double share) {
  const double expected = static_cast<double>(v.size()) / share * 1.15;
  if (expected > static_cast<double>(v.capacity())) v.reserve(static_cast<std::size_t>(expected));
}

// The rows of a later piece after those of the pieces before; more is left empty.
template <class T>
void Append(std::vector<T>& into, std::vector<T>& more) {
  if (into.empty() && more.capacity() >= into.capacity()) into.swap(more);
  else into.insert(into.end(), more.begin(), more.end());
  std::vector<T>().swap(more);
}

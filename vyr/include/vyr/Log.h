// One log decoded the way the host application decodes it: read through the
// data-file type that fits the file, every message decoded by the decode
// device of the file's stream into one data state, and handed on as it is
// read, so memory does not grow with the length of the log.
//
// What the decode leaves is given in the host's own terms, the same for every
// log format: each message with its role, time, position and payload; the
// sections of the log (each frequency plan or channel set that a header lays
// down, with its frequencies in whole hertz); and the levels that every
// measurement message leaves, each with the frequency of the section in force
// when it was measured.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "vyr/Formats.h"

namespace vyr {

// "YYYY-MM-DDTHH:MM:SS.mmm" of a count of milliseconds since 1970-01-01
// 00:00, the log's own clock (no time zone).
std::string FormatIsoTime(std::int64_t ms);

struct FileInfo {
  std::string path;
  std::string type;  // data-file type name
  std::int64_t startMs = 0;  // the file's start time, as FormatIsoTime takes it
  int deviceType = 0;
  std::string deviceName;
  std::string versionField;  // the header field that holds the software version, as the format declares
};

// A message's position, each coordinate on its own: a message keeps its
// latitude when only the longitude text was refused, and the other way round.
struct Position {
  bool hasLatitude = false;
  bool hasLongitude = false;
  double latitude = 0;
  double longitude = 0;
  int quality = 0;
  // A point on a map needs both coordinates.
  bool HasBoth() const { return hasLatitude && hasLongitude; }
};

// The texts a decode device writes for display; empty unless asked for.
struct MessageTexts {
  std::string_view summary;
  std::string_view name;
  std::string_view detail;
  int type = 0;
};

struct Section;

struct Message {
  std::uint64_t index = 0;  // from 0, in file order
  int messageClass = 0;
  Role role = Role::Other;
  std::int64_t timeMs = 0;   // from the file start
  std::int64_t startMs = 0;  // the file start
  Position position;
  std::string_view payload;  // the name/value payload as the reader built it
  MessageTexts texts;
  const Section* section = nullptr;  // in force after the message; null before the first

  // The message time on the log's clock. A time saturated near the 64-bit
  // limit by a damaged time text wraps (defined) rather than overflows.
  std::int64_t AbsoluteMs() const {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(startMs) + static_cast<std::uint64_t>(timeMs));
  }
  std::string TimeIso() const { return FormatIsoTime(AbsoluteMs()); }
};

enum class ValueKind { None, Real, Int, Text };

// One write or clear of a host attribute, as the decode device makes it.
struct AttributeWrite {
  int attrId = 0;
  std::string_view attrName;  // the schema's name, or the id's number when the schema has none
  int index = 0;
  int scope = 0;
  bool clear = false;
  ValueKind kind = ValueKind::None;
  double real = 0;
  std::int64_t integer = 0;
  std::string_view text;
};

// A frequency that is not known: a bin the plan gives none for, a channel
// the set-up in force does not name, a value that is no radio frequency.
constexpr std::int64_t kNoFrequency = std::numeric_limits<std::int64_t>::min();
inline double HzToMHz(std::int64_t hz) { return static_cast<double>(hz) / 1e6; }

// The bins of one band of a frequency plan, or the channels of a channel
// set: bin i is data-state element firstElement + i.
struct Band {
  int number = 0;  // from 1 in a plan; 0 for a channel set
  int firstElement = 0;
  std::vector<std::int64_t> hz;  // per bin, rounded to the whole hertz; kNoFrequency where none

  std::size_t Bins() const { return hz.size(); }
  bool HasFrequency(std::size_t bin) const { return bin < hz.size() && hz[bin] != kNoFrequency; }
  int Element(std::size_t bin) const { return firstElement + static_cast<int>(bin); }
  // The first and last bin's frequency and the step between neighbours
  // (kHz, 0 for a band of one bin); NaN when the band has no such frequency.
  double StartMHz() const;
  double StopMHz() const;
  double StepKHz() const;
};

// What a header message sets up. A header that lays down a frequency plan
// starts a plan section; one that names channels starts a channel set. A
// header that does neither starts an empty channel set, except while a plan
// is in force: the plan then stays in force, as the decoder keeps placing
// levels by it, and the section goes on. A channel set holds the elements
// from 0 to the last one that its header names or that a level is left at
// (at most kMaxChannels): a channel its header does not name has no
// frequency, never an earlier set-up's.
struct Section {
  enum class Kind { Plan, Channels };
  static constexpr int kMaxChannels = 4096;

  Kind kind = Kind::Plan;
  std::uint64_t header = 0;  // index of the header message that set it up
  std::size_t ordinal = 0;   // 0, 1, ... in the log
  std::vector<Band> bands;   // the plan's bands in order; a channel set has one, number 0
};

// A level that a measurement message leaves at one element.
struct Level {
  int element = 0;
  int band = 0;  // the plan's band, from 1; 0 for a channel and outside the plan
  std::int64_t hz = kNoFrequency;
  double dbm = 0;
  // What a statistics log gives besides the mean: NaN where it gives none.
  double minDbm = std::numeric_limits<double>::quiet_NaN();
  double maxDbm = std::numeric_limits<double>::quiet_NaN();
  double stddevDb = std::numeric_limits<double>::quiet_NaN();

  bool HasFrequency() const { return hz != kNoFrequency; }
  double MHz() const { return HzToMHz(hz); }
};

// One band's levels of one measurement message: one per bin of the band, NaN
// where the message left none. The statistics are null for a message without
// them.
struct Sweep {
  const Band& band;
  const double* dbm;
  const double* minDbm;
  const double* maxDbm;
  const double* stddevDb;
};

struct DecodeCounts {
  std::uint64_t messages = 0;
  std::uint64_t headerMessages = 0;
  std::uint64_t measurementMessages = 0;
  std::uint64_t attributeWrites = 0;
};

// How a decode ended. code is 0, the reader's result code, kHostRefused when
// the host cannot read the file at all (it is no regular file, no data-file
// type or decode device fits it), or kStopped after Stop.
struct DecodeResult {
  static constexpr int kHostRefused = -1;
  static constexpr int kStopped = -2;

  int code = 0;
  std::string meaning;  // what the reader's code means, as its plug-in declares
  std::string reason;   // the system's reason, or what the host could not do
  DecodeCounts counts;
  // The log ends in a line without its line end, as a log cut short does:
  // the reader left out that line's last field, which may be cut.
  bool lastLineCut = false;
  // A decode in pieces (LogDecoder::DecodeInPieces): how many, and how many
  // of them were decoded again from the real state, their guess not holding.
  std::size_t pieces = 1;
  std::size_t piecesDecodedAgain = 0;

  bool Ok() const { return code == 0; }
  // "PATH: the last line has no line end, ...", for a log whose last line is cut.
  static std::string DescribeCutLastLine(const std::string& path);
  // "PATH: refused with code N: MEANING (REASON)" or "PATH: REASON", the
  // path escaped for a terminal.
  std::string Describe(const std::string& path) const;
};

// What the visitor of a decode is told, in this order for each message: its
// attribute writes, as they are made; a section that it sets up; its levels,
// in batches in element order; its sweeps, band by band; then the message
// itself.
class LogVisitor {
 public:
  virtual ~LogVisitor() = default;
  // Once, before the first message.
  virtual void OnFile(const FileInfo&) {}
  virtual void OnWrite(const AttributeWrite&) {}
  virtual void OnLevels(const Message&, const Level* /*levels*/, std::size_t /*count*/) {}
  virtual void OnSweep(const Message&, const Sweep&) {}
  virtual void OnSection(const Section&) {}
  virtual void OnMessage(const Message&) {}
  // Once, after the last message of a log read to its end.
  virtual void OnEnd(const DecodeResult&) {}
};

struct DecodeSettings {
  // The weakest level, in dBm, that scan decoding keeps; -inf keeps them all.
  double levelThreshold = -std::numeric_limits<double>::infinity();
};

// What a decode is to hand on; what nobody asked for is not worked out.
struct DecodeRequest {
  DecodeSettings settings;
  bool texts = false;        // the decode device's display texts
  bool writes = false;       // OnWrite for every attribute write
  bool sections = false;     // OnSection and Message::section (levels and sweeps imply them)
  bool levels = false;       // OnLevels
  bool sweeps = false;       // OnSweep
  bool rankedLevels = false;  // let the decoder rank the levels (only the attribute writes show the ranking)
  std::size_t levelBatch = 4096;  // at most this many levels per OnLevels call
  // Bytes read so far and the file's size, now and then and at the end.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
};

// A refused log, for callers that raise.
struct LogError : std::runtime_error {
  LogError(std::string p, const DecodeResult& r) : std::runtime_error(r.Describe(p)), path(std::move(p)), code(r.code) {}
  std::string path;
  int code;
};

class LogDecoder {
 public:
  explicit LogDecoder(DecodeRequest request) : m_request(std::move(request)) {}

  // Decodes the file through the visitor. Only regular files are read: a
  // folder, FIFO or device is refused at once.
  DecodeResult Decode(const std::string& path, LogVisitor& visitor);
  // Asks a decode in progress to stop after the current message (from the
  // visitor, for example when its output cannot be written).
  // Any thread may ask, a visitor of any piece of a decode in pieces too.
  void Stop() { m_bStop = true; }

  // Decodes one large log in pieces side by side, with the visitors of the
  // pieces handed to take in file order; what they are told together is what
  // one visitor of Decode is told, message for message: OnFile goes to the
  // first piece's visitor only, OnEnd to the last one's. A piece is cut at a
  // line boundary about every pieceBytes, starting from what its last header
  // laid down; once the pieces before it are done, whatever it read of that
  // guess is checked against what they really left, and a piece whose guess
  // does not hold is decoded again, on the calling thread, from that real
  // state (its first visitor is dropped untaken). A log of a format that
  // cannot be cut, no larger than minLogBytes, or that its reader refuses
  // is decoded in one piece by Decode.
  struct PieceOptions {
    int jobs = 1;
    std::uint64_t minLogBytes = std::uint64_t{64} << 20;
    std::uint64_t pieceBytes = std::uint64_t{16} << 20;
  };
  // The options of a decode on jobs threads in pieces of pieceBytes.
  // VYRHOST_PIECE_BYTES=N in the environment (a whole number from 1) cuts
  // every log larger than N bytes into pieces of about N bytes instead, so
  // that a test can cut a small log at every line.
  static PieceOptions PieceOptionsFor(int jobs, std::uint64_t pieceBytes = std::uint64_t{16} << 20);
  // "PATH: N pieces, M decoded again" for a log decoded in pieces while
  // VYRHOST_PIECE_BYTES is set (what a test looks for); empty otherwise.
  static std::string DescribePieces(const std::string& path, const DecodeResult& result);
  // make runs on the decode's threads, any of them; take on the calling one.
  using MakeVisitor = std::function<std::unique_ptr<LogVisitor>(std::size_t piece)>;
  using TakeVisitor = std::function<void(std::size_t piece, LogVisitor& visitor)>;
  DecodeResult DecodeInPieces(const std::string& path, const PieceOptions& options, const MakeVisitor& make,
                              const TakeVisitor& take);
  // Decodes one large log in pieces side by side, as DecodeInPieces does,
  // and tells the one visitor, on the calling thread, all that Decode would
  // tell it, in the same order: each piece's decode is recorded and told
  // again once the pieces before it are. For a visitor that keeps state from
  // message to message (a report, tables). A piece's recording is some ten
  // times its text: take pieces of a few hundred KiB. A log that is not cut
  // is decoded by Decode into the visitor itself.
  DecodeResult DecodeInOrder(const std::string& path, const PieceOptions& options, LogVisitor& visitor);

 private:
  DecodeResult Pieces(const std::string& path, const PieceOptions& options, const MakeVisitor& make,
                      const TakeVisitor& take, LogVisitor* pWhole);

  DecodeRequest m_request;
  std::atomic<bool> m_bStop{false};
};

// A file name as it may be shown on a terminal or in a listing: control
// characters and DEL are written as \xHH (and a backslash as \\), so that a
// name cannot move the cursor or forge a line.
std::string EscapeFileName(std::string_view name);
// Text from a log as the readable listings show it: control bytes (and DEL)
// escaped as in file names ("\x1B"), but for those in pszKept ("\t", "\n"),
// so that no log can drive the terminal. Backslashes stay as they are.
void AppendEscapedText(std::string& out, std::string_view text, const char* pszKept);

}  // namespace vyr

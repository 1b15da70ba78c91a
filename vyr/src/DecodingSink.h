// Receives a reader's messages, decodes each one as it comes and hands on
// what the request asks for: the decode loop of one log, or of one piece of
// a log decoded in pieces side by side (PieceDecoder.cpp).
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "DataFile.h"
#include "DataFileFactory.h"
#include "DecodeModel.h"
#include "FormatDriver.h"
#include "MemoryDataState.h"
#include "SeededDataState.h"
#include "VyrDecodeDevice.h"
#include "Vocabulary.h"
#include "vyr/Log.h"

namespace vyr::detail {

struct ReleaseDataFile {
  void operator()(CDataFile* p) const {
    if (p) p->GetControllingUnknown()->Release();
  }
};
using DataFilePtr = std::unique_ptr<CDataFile, ReleaseDataFile>;

// The reader of the log's data-file type, or null; holds one reference.
DataFilePtr MakeReader(VyrCreateDataFileFn pfnCreate);

// What a decode finds before it reads a log: the data-file type that fits
// it and its format's declaration. False (result filled in) when the host
// refuses the file; strOpenError holds the system's reason when the file
// cannot be opened.
bool FindLogType(const std::string& path, DecodeResult& result, CDataFileFactoryHelper::Registration& reg,
                 const KelFormatDriver*& pDriver, std::string& strOpenError);
// What a result code means: the host's own codes, or the reader's as its
// plug-in declares them.
std::string Meaning(int code, const KelFormatDriver* pDriver);

// Where a piece of a log starts. The first piece (the defaults) is a decode
// from the start; a later one either guesses its start from the header
// before it (checked once the pieces before are done), or goes on from the
// real state those pieces left.
struct PieceStart {
  std::uint64_t nFirstIndex = 0;
  bool bAnnounce = true;  // OnFile: only for the log's first piece
  // The guess: the header (if any), decoded without handing anything on,
  // sets up the data state and a section numbered nGuessOrdinal.
  bool bGuess = false;
  const CVyrGenericHsMessage* pGuessHeader = nullptr;
  std::uint64_t nGuessHeaderIndex = 0;
  std::size_t nGuessOrdinal = 0;
  // Going on: decode into this data state, with these sections and this
  // device state (as the format saves it).
  CVyrMemoryDataState* pRealState = nullptr;
  const CSectionTracker* pRealSections = nullptr;
  const std::string* pRealDevice = nullptr;
};

class CDecodingSink final : public IDataFileMessageSink {
 public:
  CDecodingSink(const DecodeRequest& request, FileInfo info, const KelFormatDriver* pDriver,
                const std::atomic<bool>& bStop, LogVisitor& visitor, DecodeCounts& counts,
                const PieceStart& start = PieceStart());
  ~CDecodingSink() override;
  CDecodingSink(const CDecodingSink&) = delete;
  CDecodingSink& operator=(const CDecodingSink&) = delete;

  RolRetc OnMessage(CDataFile& file, const CVyrGenericHsMessage& msg) override;
  // Called at the end for a file that gave no message at all.
  bool Finish(CDataFile& file) { return m_bStarted || Start(file); }
  const std::string& Error() const { return m_strError; }

  // For the pieces' join: what the piece leaves, and what it guessed.
  CVyrDecodeDevice* Device() { return m_device.get(); }
  CVyrMemoryDataState& State() { return *m_pState; }
  const CSeededDataState* Seeded() const { return m_seeded.get(); }
  const CSectionTracker& Sections() const { return m_model.Sections(); }
  const CSectionTracker* GuessedSections() const { return m_guessedSections.get(); }

 private:
  bool Start(CDataFile& file);
  void Guess();
  void Decode(const CVyrGenericHsMessage& msg);
  Message Describe(const CVyrGenericHsMessage& msg) const;

  const DecodeRequest& m_request;
  FileInfo m_info;
  const KelFormatDriver* m_pDriver;
  const Vocabulary& m_v;
  const std::atomic<bool>& m_bStop;
  LogVisitor& m_visitor;
  DecodeCounts& m_counts;
  PieceStart m_start;
  CVyrMemoryDataState m_ownState;
  CVyrMemoryDataState* m_pState;
  std::unique_ptr<CSeededDataState> m_seeded;
  IVyrDataState* m_pDecodeState;  // the seeded state, or the state itself
  std::unique_ptr<CSectionTracker> m_guessedSections;
  CVyrExpandedMessage m_expanded;
  std::unique_ptr<CVyrDecodeDevice> m_device;
  CDecodeModel m_model;
  bool m_bStarted = false;
  std::string m_strError;
};

}  // namespace vyr::detail

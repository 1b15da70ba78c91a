#include "DecodingSink.h"

#include "DecodeHooks.h"

namespace vyr::detail {

CDecodingSink::CDecodingSink(const DecodeRequest& request, FileInfo info, const KelFormatDriver* pDriver,
                             const std::atomic<bool>& bStop, LogVisitor& visitor, DecodeCounts& counts,
                             const PieceStart& start)
    : m_request(request), m_info(std::move(info)), m_pDriver(pDriver), m_v(Vocabulary::Of(pDriver)),
      m_bStop(bStop), m_visitor(visitor), m_counts(counts), m_start(start),
      m_pState(start.pRealState ? start.pRealState : &m_ownState), m_pDecodeState(m_pState),
      m_model(m_v, request, visitor) {
  m_pState->SetSortOutputSuppressed(!request.rankedLevels);
  if (start.bGuess) {
    m_seeded = std::make_unique<CSeededDataState>(*m_pState);
    m_pDecodeState = m_seeded.get();
  }
  if (start.pRealSections) m_model.Sections().CopyState(*start.pRealSections);
  const unsigned char want = request.texts ? 1 : 0;
  m_expanded.m_bWantSummaryText = m_expanded.m_bWantMsgName = m_expanded.m_bWantDetailText = want;
}

CDecodingSink::~CDecodingSink() {
  // A state that outlives the sink must not call back into it.
  m_pState->SetWriteObserver(nullptr);
  m_pState->SetRunObserver(nullptr);
}

void CDecodingSink::Decode(const CVyrGenericHsMessage& msg) {
  m_expanded.Reset();
  // The decode device reads the level threshold from the host's settings,
  // which are its thread's: set them from this decode's before each message.
  CVyrDecodeDevice::m_prefs.dLevelThreshold = m_request.settings.levelThreshold;
  m_device->DecodeMessagePreExec(msg, m_pDecodeState, m_expanded, nullptr);
  m_device->DecodeMessage(msg, m_pDecodeState, m_expanded, nullptr);
  m_device->DecodeMessagePostExec(msg, m_pDecodeState, m_expanded, nullptr);
}

RolRetc CDecodingSink::OnMessage(CDataFile& file, const CVyrGenericHsMessage& msg) {
  if (!m_bStarted && !Start(file)) return -1;
  const std::uint64_t nBefore = m_pState->GetWriteCount();
  Decode(msg);
  m_counts.attributeWrites += m_pState->GetWriteCount() - nBefore;
  Message m = Describe(msg);
  ++m_counts.messages;
  if (m.role == Role::Header) ++m_counts.headerMessages;
  if (m.role == Role::Measurement) ++m_counts.measurementMessages;
  m_model.AfterMessage(m, *m_pDecodeState);
  if (m_request.progress && (m_counts.messages & 1023) == 0) m_request.progress(file.GetBytesRead(), file.GetFileSize());
  return m_bStop ? DecodeResult::kStopped : ROL_OK;
}

bool CDecodingSink::Start(CDataFile& file) {
  m_bStarted = true;
  const CDataFileInfo& fi = file.GetFileInfo();
  m_info.startMs = fi.GetFileStartTime().GetMs();
  if (fi.GetStreamCount() > 0) m_info.deviceType = fi.GetStreamInfo(0).m_deviceType.m_nDeviceType;
  CVyrDecodeDeviceFactoryHelper::Registration reg;
  if (!CVyrDecodeDeviceFactoryHelper::FindByDeviceType(m_info.deviceType, reg) || !reg.pfnCreate) {
    m_strError = "no decode device for device type " + std::to_string(m_info.deviceType);
    return false;
  }
  m_info.deviceName = reg.info.m_strName.str();
  m_info.versionField = m_v.versionField;
  m_device.reset(reg.pfnCreate(reg.info));
  if (!m_device) {
    m_strError = "the decode device for device type " + std::to_string(m_info.deviceType) + " cannot be created";
    return false;
  }
  if (const DeviceHook& hook = CurrentDeviceHook()) hook(*m_device);
  const KelPiecesDecl* pPieces = m_pDriver ? m_pDriver->pPieces : nullptr;
  if (m_start.pRealDevice && pPieces && pPieces->pfnLoadDeviceState &&
      !pPieces->pfnLoadDeviceState(*m_device, *m_start.pRealDevice)) {
    m_strError = "the decode device's state cannot be carried into a piece";
    return false;
  }
  if (m_start.bGuess) Guess();
  m_model.Observe(*m_pState);
  if (m_start.bAnnounce) m_visitor.OnFile(m_info);
  return true;
}

// Decodes the header before the piece into the state and sets up its
// section, handing nothing on; what the piece then reads of this guess is
// kept, to be checked.
void CDecodingSink::Guess() {
  m_model.Observe(*m_pState);
  if (const CVyrGenericHsMessage* pHeader = m_start.pGuessHeader) {
    m_model.BeginGuess();
    Decode(*pHeader);
    m_model.EndGuess(m_start.nGuessHeaderIndex, m_v.RoleOf(pHeader->m_nMsgClass), *m_pState, m_start.nGuessOrdinal);
  }
  m_guessedSections = std::make_unique<CSectionTracker>(m_model.Sections());
  const KelPiecesDecl* pPieces = m_pDriver ? m_pDriver->pPieces : nullptr;
  if (pPieces && pPieces->pfnBeginDeviceStretch) pPieces->pfnBeginDeviceStretch(*m_device);
  m_seeded->StartGuess();
}

Message CDecodingSink::Describe(const CVyrGenericHsMessage& msg) const {
  Message m;
  m.index = m_start.nFirstIndex + m_counts.messages;
  m.messageClass = msg.m_nMsgClass;
  m.role = m_v.RoleOf(msg.m_nMsgClass);
  m.timeMs = msg.m_msgTime.GetMs();
  m.startMs = m_info.startMs;
  m.position.hasLatitude = msg.m_dLatitude != kVyrNoPosition;
  m.position.hasLongitude = msg.m_dLongitude != kVyrNoPosition;
  m.position.latitude = msg.m_dLatitude;
  m.position.longitude = msg.m_dLongitude;
  m.position.quality = msg.m_byPosQuality;
  if (const char* payload = msg.GetMsgBuf()) m.payload = std::string_view(payload, static_cast<size_t>(msg.GetMsgBufLen()));
  m.texts = {m_expanded.m_strSummaryText.view(), m_expanded.m_strMsgName.view(), m_expanded.m_strDetailText.view(),
             m_expanded.m_nMsgType};
  return m;
}

}  // namespace vyr::detail

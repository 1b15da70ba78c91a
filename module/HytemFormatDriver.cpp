#include "HytemFormatDriver.h"

#include "DataFileHsLogHYTEM.h"
#include "HytemDecodeReceiver.h"
#include "HytemFactories.h"
#include "HytemLogIdentity.h"

namespace {
CDataFileHsLogHYTEM* HytemReaderOf(CDataFile& reader) { return dynamic_cast<CDataFileHsLogHYTEM*>(&reader); }

RolRetc ReadWithoutPayload(CDataFile& reader, CVyrGenericHsMessage& msg) {
  CDataFileHsLogHYTEM* pHytem = HytemReaderOf(reader);
  return pHytem ? pHytem->ReadNextMessageWithoutPayload(msg) : ROL_INVALID_ARG;
}

bool SaveReaderState(CDataFile& reader, std::string& state) {
  CDataFileHsLogHYTEM* pHytem = HytemReaderOf(reader);
  if (pHytem) pHytem->SaveState(state);
  return pHytem != nullptr;
}

bool LoadReaderState(CDataFile& reader, std::string_view state) {
  CDataFileHsLogHYTEM* pHytem = HytemReaderOf(reader);
  return pHytem && pHytem->LoadState(state);
}

constinit const KelPiecesDecl s_hytemPieces = {
    ReadWithoutPayload,     SaveReaderState,         LoadReaderState,       SaveHytemDeviceState,
    LoadHytemDeviceState,   BeginHytemDeviceStretch, HytemDeviceStretchFrom,
};
}  // namespace

KEL_EXPORT_FORMAT_DRIVER constinit const KelFormatDriver kel_format_driver = {
    "HYTEM",
    "HYTEM radio scanner log",
    s_hytemExtensions,
    3,
    IdentifyHytemLog,
    CDataFileHsLogHYTEM::kHytemDeviceType,
    "Hytem Scanner",
    s_hytemMsgClassDecls,
    2,
    s_hytemResultTexts,
    3,
    {"ATTR_ID_SCAN_LOG_FREQ", "ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX", "ATTR_ID_SCAN_BIN_DB_MEAN",
     "ATTR_ID_SCAN_BIN_MIN_SIG_LEVEL", "ATTR_ID_SCAN_BIN_MAX_SIG_LEVEL", "ATTR_ID_SCAN_BIN_STDDEV_SIGNAL",
     "Software Version"},
    &s_hytemPieces,
};

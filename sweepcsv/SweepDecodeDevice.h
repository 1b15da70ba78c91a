// The decode device of sweep files, "SDR Sweep" (device type 116): it names
// each message, gives its payload as the summary text, and decodes the
// payload through its field table:
//   - a plan message lays down the frequency plan at scope 0, as the host's
//     scan model reads it: ATTR_ID_SCAN_LOG_FREQ per plan element in whole
//     hertz, and in the band-start attribute
//     (ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX) element 0 = 0 and element j =
//     the element after band j; ATTR_ID_SCAN_LOG_NUM_FREQUENCIES holds the
//     number of bins;
//   - a sweep message stores each level at its plan element in
//     ATTR_ID_SCAN_BIN_DB_MEAN (message scope), clearing those below the
//     host's level threshold; an empty level, or one that is no number,
//     leaves its element alone; "nan" and infinities are stored as they are;
//   - the detail text gets " Label=value" for each field with a label, and
//     for a sweep the ten strongest levels.
#pragma once

#include <string>

#include "FormatDriver.h"
#include "SweepPayload.h"
#include "VyrDecodeReceiver.h"

extern const KelMessageClassDecl s_sweepMsgClassDecls[3];

class CSweepDecodeDevice : public CVyrDecodeReceiver {
 public:
  explicit CSweepDecodeDevice(const CVyrDeviceTypeInfo& info);

  RolRetc DecodeMessage(const CVyrGenericHsMessage& msg, IVyrDataState* pDataState, CVyrExpandedMessage& expanded,
                        IKelCellRefs_Search* pSearch) override;
  void GetSupportedMsgClassInfo(CVyrDeviceMsgClassInfoArray& array) const override;

  // The attribute ids the device writes, resolved by name from the host's
  // schema when it is built (0 for a name the schema lacks: not written).
  struct AttrIds {
    int nFrequency = 0;
    int nBandStart = 0;
    int nFrequencies = 0;
    int nLevel = 0;
  };

 private:
  AttrIds m_ids;
  sweepcsv::PayloadFields m_fields;  // of the message being decoded
};

CVyrDecodeDevice* CreateSweepDecodeDevice(const CVyrDeviceTypeInfo& info);

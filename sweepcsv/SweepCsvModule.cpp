// The KelSweepCsv module: its declaration (the data symbol kel_format_driver,
// FormatDriver.h), and the static objects that register it when the host
// loads it, in this order: the decode device "SDR Sweep" (device type 116),
// the application object, the data-file type "SWEEPCSV", and the DLL start-up
// that calls the application's InitInstance. Nothing is unregistered.
//
// The type is named after the layout, not after a tool: rtl_power,
// hackrf_sweep and `vyrhost export --sweeps` write it alike.
#include "ComModule.h"
#include "ComObject.h"
#include "CWinApp.h"
#include "DataFileFactory.h"
#include "DataFileSweepCsv.h"
#include "FormatDriver.h"
#include "SweepDecodeDevice.h"
#include "SweepRow.h"

namespace {
const char* const s_sweepExtensions[] = {"csv", ""};

const KelResultCodeDecl s_sweepResultTexts[] = {
    {CDataFileSweepCsv::kRcCannotOpen, "the file cannot be opened"},
    {CDataFileSweepCsv::kRcNoSweepLine, "the file holds no line: it is empty or blank"},
    {CDataFileSweepCsv::kRcNotSweepFile,
     "not an rtl_power or hackrf_sweep sweep file: its first line should read date, time, Hz low, Hz high, Hz step, "
     "samples, dB, dB, ... (for example 2024-03-01, 12:00:00, 88000000, 90500000, 9765.62, 16, -41.5, -40.25)"},
};

CDataFile* CreateSweepDataFile() {
  try {
    return CComObject<CDataFileSweepCsv>::CreateInstance();
  } catch (...) {
    return nullptr;
  }
}

// Sets up the module's COM bookkeeping when it is attached, and runs its
// termination list when it is detached.
class CSweepCsvApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    s_comModule.Init();
    return CWinApp::InitInstance();
  }
  int ExitInstance() override {
    s_comModule.Term();
    return CWinApp::ExitInstance();
  }
};
}  // namespace

KEL_EXPORT_FORMAT_DRIVER constinit const KelFormatDriver kel_format_driver = {
    "SWEEPCSV",
    "rtl_power and hackrf_sweep CSV sweeps",
    s_sweepExtensions,
    3,
    IdentifySweepFile,
    CDataFileSweepCsv::kDeviceType,
    "SDR Sweep",
    s_sweepMsgClassDecls,
    3,
    s_sweepResultTexts,
    3,
    {"ATTR_ID_SCAN_LOG_FREQ", "ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX", "ATTR_ID_SCAN_BIN_DB_MEAN", nullptr, nullptr,
     nullptr, "Software"},
    nullptr,  // decoded in one piece
};

namespace {
CVyrDecodeDeviceFactoryHelper s_sweepDecodeDeviceFactory(
    CVyrDeviceTypeInfo(static_cast<std::int16_t>(kel_format_driver.nDeviceType), 0, -1, 0, 0x10000800ULL,
                       kel_format_driver.pszDeviceName, "Sweep", 0ULL),
    CreateSweepDecodeDevice, true, "");

CSweepCsvApp theApp;

CDataFileFactoryHelper s_sweepDataFileFactory(kel_format_driver.pszTypeName, kel_format_driver.ppszExtensions,
                                              0x80000000ULL, CreateSweepDataFile, true, "", kel_format_driver.nPriority);

CDllModuleStartup s_dllStartup(theApp, "KelSweepCsv");
}  // namespace

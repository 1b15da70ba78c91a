// Start-up of the Kel4HYTEM module. The static objects of this one unit are
// built in the order written, when the host loads the module:
//   1. the decode-device registration ("Hytem Scanner", device type 115);
//   2. the seven scan attribute ids and the completion of the field
//      definition table, resolved by name through the host's schema;
//   3. the application object;
//   4. the data-file registration ("HYTEM" and its extensions);
//   5. the DLL start-up, which calls the application's InitInstance.
// At unload they are destroyed in reverse: ExitInstance runs first. The two
// registrations are never undone.
#include "DataFileFactory.h"
#include "HytemDecodeReceiver.h"
#include "HytemFactories.h"
#include "HytemNameValueDefns.h"
#include "HytemScanDecoding.h"
#include "Kel4HYTEMApp.h"
#include "VyrDecodeDevice.h"

namespace {
constexpr int kHytemDeviceType = 115;

CVyrDecodeDeviceFactoryHelper s_hytemDecodeDeviceFactory(
    CVyrDeviceTypeInfo(kHytemDeviceType, 0, -1, 0, 0x10000800ULL, "Hytem Scanner", "Hytem", 0ULL),
    CreateHytemDecodeDevice, true, "");

struct CHytemDecoderStartup {
  CHytemDecoderStartup() {
    ResolveHytemScanAttrIds();
    InitHytemNameValueDefns();
  }
} s_hytemDecoderStartup;

CKel4HYTEMApp theApp;

CDataFileFactoryHelper s_hytemDataFileFactory("HYTEM", s_hytemExtensions, 0x80000000ULL, CreateHytemDataFile, true,
                                              "", 3);

CDllModuleStartup s_dllStartup(theApp, "Kel4HYTEM");
}  // namespace

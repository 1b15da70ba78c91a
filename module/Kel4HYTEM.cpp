// Start-up of the Kel4HYTEM module and its declaration.
//
// The module's declaration (HytemFormatDriver.cpp) is constant data, in place
// before any static object is built: the registrations below take their
// values from it, and the host reads it after loading the module.
//
// The static objects of this one unit are built in the order written, when
// the host loads the module:
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
#include "HytemFormatDriver.h"
#include "HytemNameValueDefns.h"
#include "HytemScanDecoding.h"
#include "Kel4HYTEMApp.h"
#include "VyrDecodeDevice.h"

namespace {
CVyrDecodeDeviceFactoryHelper s_hytemDecodeDeviceFactory(
    CVyrDeviceTypeInfo(static_cast<std::int16_t>(kel_format_driver.nDeviceType), 0, -1, 0, 0x10000800ULL,
                       kel_format_driver.pszDeviceName, "Hytem", 0ULL),
    CreateHytemDecodeDevice, true, "");

struct CHytemDecoderStartup {
  CHytemDecoderStartup() {
    ResolveHytemScanAttrIds();
    InitHytemNameValueDefns();
  }
} s_hytemDecoderStartup;

CKel4HYTEMApp theApp;

CDataFileFactoryHelper s_hytemDataFileFactory(kel_format_driver.pszTypeName, kel_format_driver.ppszExtensions,
                                              0x80000000ULL, CreateHytemDataFile, true, "",
                                              kel_format_driver.nPriority);

CDllModuleStartup s_dllStartup(theApp, "Kel4HYTEM");
}  // namespace

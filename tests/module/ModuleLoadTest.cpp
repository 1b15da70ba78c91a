// Loads the built Kel4HYTEM.so with dlopen, as a host does, and checks what
// its start-up registered and what its unload cleans up.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

#include "CWinApp.h"
#include "DataFile.h"
#include "DataFileFactory.h"
#include "KelFSD.h"
#include "VyrDecodeDevice.h"

namespace {
const std::string kModulePath = std::string(KEL_BINARY_DIR) + "/bin/plugins/Kel4HYTEM.so";

class ModuleLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterKelFSDTypeLib();
    m_handle = dlopen(kModulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_handle, nullptr) << dlerror();
  }
  void TearDown() override {
    if (m_handle) dlclose(m_handle);
  }
  void* m_handle = nullptr;
};

std::vector<std::string> Strings(const std::vector<CString>& v) {
  std::vector<std::string> out;
  for (const CString& s : v) out.push_back(s.str());
  return out;
}
}  // namespace

TEST_F(ModuleLoadTest, StartUpRegistersTheDataFileType) {
  EXPECT_TRUE(AfxModuleInitialised("Kel4HYTEM"));
  CDataFileFactoryHelper::Registration reg;
  ASSERT_TRUE(CDataFileFactoryHelper::FindByTypeName("HYTEM", reg));
  EXPECT_EQ(Strings(reg.extensions), (std::vector<std::string>{"h2m", "h1m", "h1s", "h2s", ""}));
  EXPECT_EQ(reg.qwFlags, 0x80000000ULL);
  EXPECT_TRUE(reg.bEnabled);
  EXPECT_EQ(reg.strOptions, "");
  EXPECT_EQ(reg.nPriority, 3);
  CDataFileFactoryHelper::Registration byExt;
  ASSERT_TRUE(CDataFileFactoryHelper::FindByExtension(".H1S", byExt));
  EXPECT_EQ(byExt.strTypeName, "HYTEM");
}

TEST_F(ModuleLoadTest, StartUpRegistersTheDecodeDevice) {
  CVyrDecodeDeviceFactoryHelper::Registration reg;
  ASSERT_TRUE(CVyrDecodeDeviceFactoryHelper::FindByDeviceType(115, reg));
  EXPECT_EQ(reg.info.m_strName, "Hytem Scanner");
  EXPECT_EQ(reg.info.m_strShortName, "Hytem");
  EXPECT_EQ(reg.info.m_nInstance, -1);
  EXPECT_EQ(reg.info.m_qwFlags, 0x10000800ULL);
  ASSERT_NE(reg.pfnCreate, nullptr);
  CVyrDecodeDevice* device = reg.pfnCreate(reg.info);
  ASSERT_NE(device, nullptr);
  CVyrDeviceMsgClassInfoArray classes;
  device->GetSupportedMsgClassInfo(classes);
  ASSERT_EQ(classes.GetSize(), 2);
  EXPECT_EQ(classes[0].m_nClassId, 306);
  EXPECT_EQ(classes[0].m_strName, "HYTEM Header");
  EXPECT_EQ(classes[1].m_nClassId, 307);
  EXPECT_EQ(classes[1].m_strName, "HYTEM Message");
  delete device;
}

TEST_F(ModuleLoadTest, UnloadReleasesTheSharedTypeInformation) {
  CDataFileFactoryHelper::Registration reg;
  ASSERT_TRUE(CDataFileFactoryHelper::FindByTypeName("HYTEM", reg));
  long typeObjectsBefore = KelFSDLiveObjectCount();
  CDataFile* file = reg.pfnCreate();
  ASSERT_NE(file, nullptr);
  IUnknown* unk = file->GetControllingUnknown();
  unk->AddRef();
  IDispatch* disp = nullptr;
  ASSERT_EQ(unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp)), S_OK);
  BSTR name = SysAllocStringFromBytes("Count");
  DISPID id = -1;
  ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  EXPECT_EQ(id, DISPID_KELFSD_COUNT);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(disp->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  SysFreeString(name);
  disp->Release();
  EXPECT_EQ(unk->Release(), 0u);
  // The module holds the loaded type information until it unloads.
  EXPECT_EQ(KelFSDLiveObjectCount(), typeObjectsBefore + 1);
  ASSERT_EQ(dlclose(m_handle), 0);
  m_handle = nullptr;
  EXPECT_EQ(KelFSDLiveObjectCount(), typeObjectsBefore);
  EXPECT_EQ(dlopen(kModulePath.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "the module stayed loaded";
}

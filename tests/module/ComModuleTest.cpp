// The module's COM bookkeeping and the reader's COM object, linked in directly.
#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <vector>

#include "ComModule.h"
#include "DataFile.h"
#include "HytemFactories.h"
#include "KelFSD.h"
#include "TypeInfoHolder.h"

// The nothrow allocation that creates COM objects, made to fail on demand.
bool g_failNothrowNew = false;
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  if (g_failNothrowNew) return nullptr;
  try {
    return ::operator new(n);
  } catch (...) {
    return nullptr;
  }
}

namespace {
std::vector<std::uintptr_t> g_termCalls;
void RecordTerm(std::uintptr_t dw) { g_termCalls.push_back(dw); }

// Every test starts with fresh bookkeeping and ends by running its
// termination list, as the module's start-up and clean-up do.
class ComObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s_comModule.Init();
    RegisterKelFSDTypeLib();
  }
  void TearDown() override {
    s_comModule.Term();
    RegisterKelFSDTypeLib();
  }
};

IKelFSD_DataFile* Primary(CDataFile* p) { return p; }

BSTR Name(const char* s) { return SysAllocStringFromBytes(s); }
}  // namespace

TEST_F(ComObjectTest, TerminationFunctionsRunOnceEachNewestFirst) {
  g_termCalls.clear();
  s_comModule.AddTermFunc(RecordTerm, 1);
  s_comModule.AddTermFunc(RecordTerm, 2);
  s_comModule.AddTermFunc(RecordTerm, 3);
  s_comModule.Term();
  EXPECT_EQ(g_termCalls, (std::vector<std::uintptr_t>{3, 2, 1}));
  s_comModule.Term();  // the list is empty now: nothing runs twice
  EXPECT_EQ(g_termCalls.size(), 3u);
  s_comModule.Init();
}

TEST_F(ComObjectTest, CreatedWithCountZeroAndOneReleaseDestroys) {
  LONG locksBefore = s_comModule.GetLockCount();
  long liveBefore = VyrLifetimeMonitoring::CLifetimeDetector::GetLiveCount();
  CDataFile* p = CreateHytemDataFile();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->m_dwRef, 0);
  EXPECT_EQ(s_comModule.GetLockCount(), locksBefore + 1);
  EXPECT_EQ(Primary(p)->AddRef(), 1u);
  EXPECT_EQ(Primary(p)->Release(), 0u);
  EXPECT_EQ(s_comModule.GetLockCount(), locksBefore);
  EXPECT_EQ(VyrLifetimeMonitoring::CLifetimeDetector::GetLiveCount(), liveBefore);
}

TEST_F(ComObjectTest, FailedFinalConstructLeavesNothingBehind) {
  LONG locksBefore = s_comModule.GetLockCount();
  long liveBefore = VyrLifetimeMonitoring::CLifetimeDetector::GetLiveCount();
  CDataFile::FailNextFinalConstruct(E_FAIL);
  EXPECT_EQ(CreateHytemDataFile(), nullptr);
  EXPECT_EQ(s_comModule.GetLockCount(), locksBefore);
  EXPECT_EQ(VyrLifetimeMonitoring::CLifetimeDetector::GetLiveCount(), liveBefore);
}

TEST_F(ComObjectTest, OutOfMemoryGivesNoObject) {
  LONG locksBefore = s_comModule.GetLockCount();
  long liveBefore = VyrLifetimeMonitoring::CLifetimeDetector::GetLiveCount();
  g_failNothrowNew = true;
  CDataFile* p = CreateHytemDataFile();
  g_failNothrowNew = false;
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(s_comModule.GetLockCount(), locksBefore);
  EXPECT_EQ(VyrLifetimeMonitoring::CLifetimeDetector::GetLiveCount(), liveBefore);
}

TEST_F(ComObjectTest, QueryInterfaceServesTheInterfaceTable) {
  CDataFile* p = CreateHytemDataFile();
  ASSERT_NE(p, nullptr);
  Primary(p)->AddRef();
  struct Case {
    const IID* iid;
    HRESULT expected;
  };
  const Case cases[] = {{&IID_IUnknown, S_OK},          {&IID_IDispatch, S_OK}, {&IID_IKelFSD_DataFile, S_OK},
                        {&IID_ISupportErrorInfo, S_OK}, {&IID_ITypeLib, E_NOINTERFACE}};
  for (const Case& c : cases) {
    void* pv = nullptr;
    EXPECT_EQ(Primary(p)->QueryInterface(*c.iid, &pv), c.expected);
    if (c.expected == S_OK) {
      ASSERT_NE(pv, nullptr);
      EXPECT_EQ(p->m_dwRef, 2);
      static_cast<IUnknown*>(pv)->Release();
    } else {
      EXPECT_EQ(pv, nullptr);
    }
  }
  EXPECT_EQ(Primary(p)->Release(), 0u);
}

TEST_F(ComObjectTest, ErrorInfoIsSupportedForTheDataFileInterfaceOnly) {
  CDataFile* p = CreateHytemDataFile();
  ASSERT_NE(p, nullptr);
  Primary(p)->AddRef();
  ISupportErrorInfo* pErr = nullptr;
  ASSERT_EQ(Primary(p)->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&pErr)), S_OK);
  EXPECT_EQ(pErr->InterfaceSupportsErrorInfo(IID_IKelFSD_DataFile), S_OK);
  EXPECT_EQ(pErr->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
  EXPECT_EQ(pErr->InterfaceSupportsErrorInfo(IID_IUnknown), S_FALSE);
  pErr->Release();  // forwards to the object's count
  EXPECT_EQ(p->m_dwRef, 1);
  Primary(p)->Release();
}

TEST_F(ComObjectTest, DispatchFailsWithoutTheTypeLibraryAndRetriesLater) {
  UnregisterKelFSDTypeLib();
  CDataFile* p = CreateHytemDataFile();
  ASSERT_NE(p, nullptr);
  Primary(p)->AddRef();
  UINT n = 0;
  EXPECT_EQ(Primary(p)->GetTypeInfoCount(&n), S_OK);
  EXPECT_EQ(n, 1u);
  BSTR name = Name("Count");
  DISPID id = 0;
  EXPECT_EQ(Primary(p)->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), TYPE_E_LIBNOTREGISTERED);
  RegisterKelFSDTypeLib();
  EXPECT_EQ(Primary(p)->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  EXPECT_EQ(id, DISPID_KELFSD_COUNT);
  SysFreeString(name);
  Primary(p)->Release();
}

TEST_F(ComObjectTest, NamesResolveFromTheCacheOrCaseInsensitivelyFromTheTypeInfo) {
  CDataFile* p = CreateHytemDataFile();
  ASSERT_NE(p, nullptr);
  Primary(p)->AddRef();
  const char* names[] = {"Count", "count", "LABEL", "Name"};
  const DISPID expected[] = {DISPID_KELFSD_COUNT, DISPID_KELFSD_COUNT, DISPID_KELFSD_LABEL, DISPID_KELFSD_NAME};
  for (size_t i = 0; i < 4; ++i) {
    BSTR b = Name(names[i]);
    DISPID id = -1;
    EXPECT_EQ(Primary(p)->GetIDsOfNames(IID_NULL, &b, 1, 0, &id), S_OK) << names[i];
    EXPECT_EQ(id, expected[i]) << names[i];
    SysFreeString(b);
  }
  BSTR unknown = Name("NoSuchMember");
  DISPID id = 0;
  EXPECT_EQ(Primary(p)->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
  SysFreeString(unknown);
  Primary(p)->Release();
}

TEST_F(ComObjectTest, InvokeReachesTheAutomationMethods) {
  CDataFile* p = CreateHytemDataFile();
  ASSERT_NE(p, nullptr);
  Primary(p)->AddRef();
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(Primary(p)->Invoke(DISPID_KELFSD_COUNT, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                               nullptr),
            S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 0);  // no stream before a load
  EXPECT_EQ(Primary(p)->Invoke(DISPID_KELFSD_DIAGNOSTICS, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result,
                               nullptr, nullptr),
            E_NOTIMPL);
  Primary(p)->Release();
}

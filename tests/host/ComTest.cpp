// COM services of the host: the KelFSD type library and automation calls on a
// data file, BSTRs, and the start-up and clean-up of a module's application.
#include <gtest/gtest.h>

#include <string>

#include "CWinApp.h"
#include "KelFSD.h"
#include "TempDir.h"
#include "TestReader.h"
#include "comtypes.h"

namespace {
std::u16string Text(BSTR b) { return b ? std::u16string(b, SysStringLen(b)) : std::u16string(); }

class KelFSDTypeLib : public testing::Test {
 protected:
  void SetUp() override {
    RegisterKelFSDTypeLib();
    ASSERT_EQ(LoadRegTypeLib(LIBID_KelFSD, 1, 0, 0, &m_lib), S_OK);
    ASSERT_NE(m_lib, nullptr);
    ASSERT_EQ(m_lib->GetTypeInfoOfGuid(IID_IKelFSD_DataFile, &m_info), S_OK);
    ASSERT_NE(m_info, nullptr);
  }
  void TearDown() override {
    if (m_info) m_info->Release();
    if (m_lib) m_lib->Release();
  }

  DISPID IdOf(const std::u16string& name) {
    std::u16string copy = name;
    LPOLESTR names[] = {copy.data()};
    DISPID id = -12345;
    EXPECT_EQ(m_info->GetIDsOfNames(names, 1, &id), S_OK) << std::string(name.begin(), name.end());
    return id;
  }

  HRESULT Get(IKelFSD_DataFile* pFile, DISPID id, VARIANT& result, WORD flags = DISPATCH_PROPERTYGET) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VariantInit(&result);
    return m_info->Invoke(pFile, id, flags, &none, &result, nullptr, nullptr);
  }

  ITypeLib* m_lib = nullptr;
  ITypeInfo* m_info = nullptr;
};

TEST_F(KelFSDTypeLib, DescribesTheNineMembersOfTheInterface) {
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(m_info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->cFuncs, 9);
  EXPECT_TRUE(attr->guid == IID_IKelFSD_DataFile);
  m_info->ReleaseTypeAttr(attr);
  ITypeInfo* other = nullptr;
  EXPECT_EQ(m_lib->GetTypeInfoOfGuid(LIBID_KelFSD, &other), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(other, nullptr);
}

TEST_F(KelFSDTypeLib, NamesResolveWithoutRegardToCase) {
  DISPID count = IdOf(u"Count");
  EXPECT_EQ(IdOf(u"count"), count);
  EXPECT_EQ(IdOf(u"COUNT"), count);
  EXPECT_NE(IdOf(u"Name"), count);
  EXPECT_EQ(IdOf(u"label"), IdOf(u"Label"));

  OLECHAR unknown[] = u"Counts";
  LPOLESTR names[] = {unknown};
  DISPID id = 0;
  EXPECT_EQ(m_info->GetIDsOfNames(names, 1, &id), DISP_E_UNKNOWNNAME);
}

TEST_F(KelFSDTypeLib, PropertyGetsReachTheDataFile) {
  TempDir dir;
  std::string path = dir.Write("run7.h2m", "HYTEM Software\nline\n");
  CTestReader reader;
  ASSERT_EQ(reader.LoadDataFile(path.c_str(), ""), ROL_OK);
  IKelFSD_DataFile* pFile = &reader;

  VARIANT v;
  ASSERT_EQ(Get(pFile, IdOf(u"count"), v), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 1);

  for (const auto& [name, text] : {std::pair<std::u16string, std::u16string>{u"Name", {path.begin(), path.end()}},
                                    {u"LABEL", u"run7.h2m"}}) {
    ASSERT_EQ(Get(pFile, IdOf(name), v), S_OK);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(Text(v.bstrVal), text);
    VariantClear(&v);
  }

  EXPECT_EQ(Get(pFile, IdOf(u"Count"), v, DISPATCH_METHOD), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Get(pFile, 999, v), DISP_E_MEMBERNOTFOUND);
}

TEST(TypeLibRegistry, UnregisteredLibrariesAreNotFound) {
  RegisterKelFSDTypeLib();
  int stale = 0;
  ITypeLib* lib = reinterpret_cast<ITypeLib*>(&stale);
  EXPECT_EQ(LoadRegTypeLib(LIBID_KelFSD, 2, 0, 0, &lib), TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(lib, nullptr);
  UnregisterKelFSDTypeLib();
  EXPECT_EQ(LoadRegTypeLib(LIBID_KelFSD, 1, 0, 0, &lib), TYPE_E_LIBNOTREGISTERED);
  RegisterKelFSDTypeLib();
  ASSERT_EQ(LoadRegTypeLib(LIBID_KelFSD, 1, 0, 0, &lib), S_OK);
  lib->Release();
}

TEST(Bstr, RoundTrips) {
  const OLECHAR withNul[] = {u'a', 0, u'b'};
  const struct {
    BSTR b;
    std::u16string text;
  } cases[] = {{SysAllocString(u"HYTEM"), u"HYTEM"}, {SysAllocString(u""), u""},
               {SysAllocStringLen(withNul, 3), std::u16string(withNul, 3)},
               {SysAllocStringFromBytes("\xE9t"), std::u16string{0xE9, u't'}}};
  for (const auto& c : cases) {
    ASSERT_NE(c.b, nullptr);
    EXPECT_EQ(SysStringLen(c.b), c.text.size());
    EXPECT_EQ(Text(c.b), c.text);
    EXPECT_EQ(c.b[c.text.size()], 0);  // terminated
    SysFreeString(c.b);
  }
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
}

class CCountingApp : public CWinApp {
 public:
  explicit CCountingApp(BOOL bStarts) : m_bStarts(bStarts) {}
  BOOL InitInstance() override { return ++m_nInits, m_bStarts; }
  int ExitInstance() override { return ++m_nExits, 0; }
  BOOL m_bStarts;
  int m_nInits = 0;
  int m_nExits = 0;
};

TEST(ModuleStartup, InitAndExitFollowTheStartUpsOutcome) {
  CCountingApp good(TRUE), bad(FALSE);
  {
    CDllModuleStartup startGood(good, "host_test_good");
    CDllModuleStartup startBad(bad, "host_test_bad");
    EXPECT_TRUE(AfxModuleInitialised("host_test_good"));
    EXPECT_FALSE(AfxModuleInitialised("host_test_bad"));
    EXPECT_EQ(good.m_nInits + bad.m_nInits, 2);
    EXPECT_EQ(good.m_nExits, 0);
  }
  EXPECT_EQ(good.m_nExits, 1);  // clean-up only after a successful start
  EXPECT_EQ(bad.m_nExits, 0);
  EXPECT_FALSE(AfxModuleInitialised("host_test_never_started"));
}
}  // namespace

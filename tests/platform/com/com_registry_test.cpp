#include <gtest/gtest.h>

#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/com/dispatch_object.h"
#include "platform/com/type_library.h"
#include "tests/support/test_probe.h"

namespace {

class ComRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    register_probe_classes();
    CoInitialize(nullptr);
  }
  void TearDown() override {
    CoUninitialize();
    EXPECT_EQ(probe_instances(), 0) << "every instance is released";
  }
};

TEST_F(ComRegistryTest, ClassTextsReadAsProgIdsOrBracedGuids) {
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID(u"test.probe", &clsid), S_OK) << "ProgIDs ignore letter case";
  EXPECT_EQ(clsid, kProbeClsid);
  EXPECT_EQ(CLSIDFromProgID(u"No.Such", &clsid), REGDB_E_CLASSNOTREG);

  clsid = CLSID_NULL;
  EXPECT_EQ(CLSIDFromString(u"{5eb1d0e1-1f2a-4c3b-9d4e-5f60718293a4}", &clsid), S_OK);
  EXPECT_EQ(clsid, kProbeClsid);
  EXPECT_EQ(CLSIDFromString(u"Test.Probe", &clsid), S_OK);
  const CLSID before = clsid;
  for (const char16_t* bad :
       {u"No.Such", u"{5EB1D0E1-1F2A-4C3B-9D4E-5F60718293A}",
        u"{5EB1D0E1-1F2A-4C3B-9D4E-5F60718293AG}", u"5EB1D0E1-1F2A-4C3B-9D4E"}) {
    EXPECT_EQ(CLSIDFromString(bad, &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, before) << "untouched on failure";
  }

  char16_t text[39];
  EXPECT_EQ(StringFromGUID2(kProbeClsid, text, 39), 39);
  EXPECT_EQ(std::u16string_view(text), u"{5EB1D0E1-1F2A-4C3B-9D4E-5F60718293A4}");
  EXPECT_EQ(StringFromGUID2(kProbeClsid, text, 38), 0);
  EXPECT_FALSE(register_class(u"TEST.PROBE", {}, nullptr));
}

TEST_F(ComRegistryTest, CreationRefusesRemoteContextsAndUninitialisedThreads) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(kProbeClsid, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
            E_INVALIDARG);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoCreateInstance(kProbeClsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(CLSID_NULL, nullptr, 0x7, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(kProbeClsid, nullptr, 0x7, IID_ITypeLib, &object), E_NOINTERFACE);
  EXPECT_EQ(probe_instances(), 0);
  ASSERT_EQ(CoCreateInstance(kProbeClsid, nullptr, 0x7, IID_IUnknown, &object), S_OK);
  EXPECT_EQ(OleRun(static_cast<IUnknown*>(object)), S_OK);
  static_cast<IUnknown*>(object)->Release();

  CoUninitialize();
  EXPECT_EQ(CoCreateInstance(kProbeClsid, nullptr, 0x7, IID_IUnknown, &object),
            CO_E_NOTINITIALIZED);
  CoInitialize(nullptr);
}

TEST_F(ComRegistryTest, TypeLibrariesAreNeverFound) {
  ITypeLib* library = reinterpret_cast<ITypeLib*>(1);
  EXPECT_EQ(LoadTypeLib(u"C:\\x.tlb", &library), TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(library, nullptr);
  EXPECT_EQ(LHashValOfNameSys(SYS_WIN32, 0x0804, u"Probe"),
            LHashValOfNameSys(SYS_WIN32, 0x0804, u"PROBE"));
  EXPECT_EQ(GetUserDefaultLCID(), 0x0804u);
}

// The dispatch base: name look-up, flag and argument checks, and the generated description.
TEST_F(ComRegistryTest, DispatchObjectChecksCallsAndDescribesItsMembers) {
  void* made = nullptr;
  ASSERT_EQ(CoCreateInstance(kProbeClsid, nullptr, 0x7, IID_IDispatch, &made), S_OK);
  auto* probe = static_cast<IDispatch*>(made);
  const OLECHAR* name[1] = {u"aPPEND"};
  DISPID id = 0;
  EXPECT_EQ(probe->GetIDsOfNames(IID_NULL, name, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 12);
  name[0] = u"Missing";
  EXPECT_EQ(probe->GetIDsOfNames(IID_NULL, name, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);

  DISPPARAMS none;
  VARIANT result{};
  EXPECT_EQ(probe->Invoke(99, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(probe->Invoke(12, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(probe->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &none, &result, nullptr, nullptr),
            DISP_E_PARAMNOTFOUND)
      << "a write without a value";
  EXPECT_EQ(probe->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND)
      << "a property is not a method";

  ITypeInfo* info = nullptr;
  ASSERT_EQ(probe->GetTypeInfo(0, 0, &info), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->cVars, 6);
  EXPECT_EQ(attr->cFuncs, 13);
  FUNCDESC* append = nullptr;
  ASSERT_EQ(info->GetFuncDesc(2, &append), S_OK);
  EXPECT_EQ(append->memid, 12);
  ASSERT_EQ(append->cParams, 2);
  EXPECT_EQ(append->lprgelemdescParam[0].tdesc.vt, VT_PTR);
  EXPECT_EQ(append->lprgelemdescParam[0].tdesc.lptdesc->vt, VT_BSTR);
  EXPECT_EQ(append->lprgelemdescParam[1].tdesc.vt, VT_BSTR);
  info->ReleaseFuncDesc(append);
  VARDESC* peer = nullptr;
  ASSERT_EQ(info->GetVarDesc(4, &peer), S_OK);
  EXPECT_EQ(peer->memid, 5);
  EXPECT_EQ(peer->elemdescVar.tdesc.vt, VT_PTR);
  info->ReleaseVarDesc(peer);
  EXPECT_EQ(info->GetVarDesc(6, &peer), TYPE_E_ELEMENTNOTFOUND);
  info->ReleaseTypeAttr(attr);
  void* another = nullptr;
  ASSERT_EQ(info->CreateInstance(nullptr, IID_IDispatch, &another), S_OK);
  EXPECT_EQ(probe_instances(), 2);
  static_cast<IDispatch*>(another)->Release();
  info->Release();
  probe->Release();
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>

#include "platform/com/bstr.h"
#include "platform/com/safearray.h"

namespace {

TEST(ComBstrTest, LengthPrefixCountsBytesAndNulsInside) {
  UniqueBstr text(SysAllocString(u"abc"));
  ASSERT_NE(text.get(), nullptr);
  EXPECT_EQ(SysStringLen(text.get()), 3u);
  EXPECT_EQ(SysStringByteLen(text.get()), 6u);
  std::uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(text.get()) - 4, sizeof prefix);
  EXPECT_EQ(prefix, 6u);
  EXPECT_EQ(text.get()[3], u'\0');

  UniqueBstr with_nul(SysAllocStringLen(u"a\0b", 3));
  EXPECT_EQ(SysStringLen(with_nul.get()), 3u);
  EXPECT_EQ(with_nul.get()[2], u'b');

  UniqueBstr blank(SysAllocStringLen(nullptr, 2));
  EXPECT_EQ(SysStringLen(blank.get()), 2u);
  EXPECT_EQ(blank.get()[0], u'\0');
}

TEST(ComBstrTest, NullIsTheEmptyString) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  UniqueBstr empty(SysAllocString(u""));
  ASSERT_NE(empty.get(), nullptr);
  EXPECT_EQ(SysStringLen(empty.get()), 0u);
}

TEST(ComSafeArrayTest, BoundsAndDimensions) {
  const SAFEARRAYBOUND bounds[2] = {{3, -1}, {0, 5}};
  SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(SafeArrayGetDim(array), 2u);
  EXPECT_EQ(SafeArrayGetElemsize(array), 4u);
  std::int32_t bound = 99;
  EXPECT_EQ(SafeArrayGetLBound(array, 1, &bound), S_OK);
  EXPECT_EQ(bound, -1);
  EXPECT_EQ(SafeArrayGetUBound(array, 1, &bound), S_OK);
  EXPECT_EQ(bound, 1);
  EXPECT_EQ(SafeArrayGetUBound(array, 2, &bound), S_OK);
  EXPECT_EQ(bound, 4) << "an empty dimension ends one below its start";
  bound = 99;
  EXPECT_EQ(SafeArrayGetLBound(array, 3, &bound), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetLBound(array, 0, &bound), DISP_E_BADINDEX);
  EXPECT_EQ(bound, 99);
  EXPECT_EQ(safe_array_total(array), 0u);
  VARTYPE vt = 0;
  EXPECT_EQ(SafeArrayGetVartype(array, &vt), S_OK);
  EXPECT_EQ(vt, VT_I4);
  EXPECT_EQ(SafeArrayDestroy(array), S_OK);

  EXPECT_EQ(SafeArrayCreate(VT_I4, 0, bounds), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_I4, 0, 0x7FFFFFFF), nullptr) << "size overflow";
}

TEST(ComSafeArrayTest, LockedArrayIsNotDestroyed) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 4);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
  EXPECT_EQ(data, array->pvData);
  EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayUnaccessData(array), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(array), E_UNEXPECTED);
  EXPECT_EQ(SafeArrayDestroy(array), S_OK);
  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(ComSafeArrayTest, CopyIsDeepForTextsAndVariants) {
  SAFEARRAY* texts = SafeArrayCreateVector(VT_BSTR, 1, 2);
  auto* elements = static_cast<BSTR*>(texts->pvData);
  elements[0] = SysAllocString(u"one");
  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(texts, &copy), S_OK);
  auto* copied = static_cast<BSTR*>(copy->pvData);
  EXPECT_NE(copied[0], elements[0]);
  EXPECT_EQ(std::u16string_view(copied[0]), u"one");
  EXPECT_EQ(copied[1], nullptr);
  std::int32_t bound = 0;
  SafeArrayGetLBound(copy, 1, &bound);
  EXPECT_EQ(bound, 1);
  EXPECT_EQ(SafeArrayDestroy(texts), S_OK);
  EXPECT_EQ(std::u16string_view(copied[0]), u"one") << "the copy outlives the original";
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);

  SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  auto* held = static_cast<VARIANT*>(variants->pvData);
  held->vt = VT_BSTR;
  held->bstrVal = SysAllocString(u"v");
  ASSERT_EQ(SafeArrayCopy(variants, &copy), S_OK);
  EXPECT_NE(static_cast<VARIANT*>(copy->pvData)->bstrVal, held->bstrVal);
  SafeArrayDestroy(variants);
  SafeArrayDestroy(copy);
  EXPECT_EQ(SafeArrayCopy(nullptr, &copy), S_OK);
  EXPECT_EQ(copy, nullptr);
}

}  // namespace

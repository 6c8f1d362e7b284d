#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "platform/com/apartment.h"
#include "platform/com/class_registry.h"
#include "platform/com/safearray.h"
#include "platform/com/unknown.h"
#include "tests/support/test_probe.h"

namespace {

std::u16string text_of(const VARIANT& v) {
  VARIANT text;
  VariantInit(&text);
  if (FAILED(VariantChangeType(&text, &v, 0, VT_BSTR))) return u"<failed>";
  std::u16string result(text.bstrVal, SysStringLen(text.bstrVal));
  VariantClear(&text);
  return result;
}

VARIANT of_double(double value) {
  VARIANT v{};
  v.vt = VT_R8;
  v.dblVal = value;
  return v;
}

VARIANT of_text(const char16_t* text) {
  VARIANT v{};
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return v;
}

TEST(ComVariantTest, ClearReleasesWhatTheVariantOwns) {
  register_probe_classes();
  CoInitialize(nullptr);
  void* made = nullptr;
  ASSERT_EQ(CoCreateInstance(kProbeClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, &made),
            S_OK);
  VARIANT object{};
  object.vt = VT_DISPATCH;
  object.pdispVal = static_cast<IDispatch*>(made);
  VARIANT copy{};
  ASSERT_EQ(VariantCopy(&copy, &object), S_OK);
  EXPECT_EQ(copy.pdispVal, object.pdispVal);
  EXPECT_EQ(VariantClear(&object), S_OK);
  EXPECT_EQ(probe_instances(), 1) << "the copy holds its own reference";
  EXPECT_EQ(VariantClear(&copy), S_OK);
  EXPECT_EQ(probe_instances(), 0);
  EXPECT_EQ(copy.vt, VT_EMPTY);
  CoUninitialize();

  VARIANT by_reference{};
  BSTR kept = SysAllocString(u"kept");
  by_reference.vt = VT_BYREF | VT_BSTR;
  by_reference.pbstrVal = &kept;
  EXPECT_EQ(VariantClear(&by_reference), S_OK);
  EXPECT_EQ(std::u16string_view(kept), u"kept") << "a reference does not own its target";
  SysFreeString(kept);

  VARIANT unknown{};
  unknown.vt = 0x0FF0;
  EXPECT_EQ(VariantClear(&unknown), DISP_E_BADVARTYPE);
  EXPECT_EQ(unknown.vt, 0x0FF0);
}

TEST(ComVariantTest, CopyDuplicatesTextsAndArraysAndCopiesOntoItself) {
  VARIANT text = of_text(u"hello");
  VARIANT copy = of_text(u"overwritten");
  ASSERT_EQ(VariantCopy(&copy, &text), S_OK);
  EXPECT_NE(copy.bstrVal, text.bstrVal);
  EXPECT_EQ(std::u16string_view(copy.bstrVal), u"hello");
  EXPECT_EQ(VariantCopy(&text, &text), S_OK);
  EXPECT_EQ(std::u16string_view(text.bstrVal), u"hello");
  VariantClear(&text);
  VariantClear(&copy);

  VARIANT array{};
  array.vt = VT_ARRAY | VT_UI1;
  array.parray = SafeArrayCreateVector(VT_UI1, 0, 3);
  ASSERT_EQ(VariantCopy(&copy, &array), S_OK);
  EXPECT_NE(copy.parray, array.parray);
  VariantClear(&array);
  EXPECT_EQ(safe_array_total(copy.parray), 3u);
  VariantClear(&copy);

  std::int32_t target = 42;
  VARIANT reference{};
  reference.vt = VT_BYREF | VT_I4;
  reference.plVal = &target;
  ASSERT_EQ(VariantCopyInd(&copy, &reference), S_OK);
  EXPECT_EQ(copy.vt, VT_I4);
  EXPECT_EQ(copy.lVal, 42);
}

TEST(ComVariantTest, NumbersBecomeTheTextsAUserExpects) {
  EXPECT_EQ(text_of(of_double(2.5)), u"2.5");
  EXPECT_EQ(text_of(of_double(0.1)), u"0.1");
  EXPECT_EQ(text_of(of_double(-3)), u"-3");
  EXPECT_EQ(text_of(of_double(1e20)), u"1E+20");
  VARIANT v{};
  v.vt = VT_I4;
  v.lVal = -2147483647 - 1;
  EXPECT_EQ(text_of(v), u"-2147483648");
  v.vt = VT_UI4;
  v.ulVal = 4000000000u;
  EXPECT_EQ(text_of(v), u"4000000000");
  v.vt = VT_BOOL;
  v.boolVal = VARIANT_TRUE;
  EXPECT_EQ(text_of(v), u"True");
  v.boolVal = VARIANT_FALSE;
  EXPECT_EQ(text_of(v), u"False");
  v.vt = VT_CY;
  v.cyVal.int64 = -12345;
  EXPECT_EQ(text_of(v), u"-1.2345");
  v.cyVal.int64 = 20000;
  EXPECT_EQ(text_of(v), u"2");
  v.vt = VT_R4;
  v.fltVal = 0.1f;
  EXPECT_EQ(text_of(v), u"0.1");
  v.vt = VT_EMPTY;
  EXPECT_EQ(text_of(v), u"");
  v.vt = VT_NULL;
  EXPECT_EQ(text_of(v), u"<failed>");
}

VARIANT of_number(VARTYPE vt, double value) {
  VARIANT v = of_double(value);
  v.vt = vt;
  if (vt == VT_R4) v.fltVal = static_cast<float>(value);
  return v;
}

// The texts Windows gives for these values, a negative value with a three-digit exponent, and
// a rounding whose carry reaches the exponent form.
TEST(ComVariantTest, RealsReadAsWindowsWritesThem) {
  const std::tuple<VARTYPE, double, const char16_t*> cases[] = {
      {VT_R8, 3.14159265358979323846, u"3.14159265358979"},
      {VT_R8, 1.2e15, u"1.2E+15"},
      {VT_R8, 999999999999999.9, u"1E+15"},
      {VT_R8, 5.6789e-11, u"0.000000000056789"},
      {VT_R8, 5.6789e-12, u"5.6789E-12"},
      {VT_R8, 100000, u"100000"},
      {VT_R8, 0.0001, u"0.0001"},
      {VT_R8, 1e15, u"1E+15"},
      {VT_R8, 1234.567890123456789, u"1234.56789012346"},
      {VT_R8, -2.5e-300, u"-2.5E-300"},
      {VT_R4, 1e8, u"1E+08"},
      {VT_R4, 1234.56789012, u"1234.568"},
      {VT_R4, 654322.23456, u"654322.3"}};  // a half, rounded away from zero
  for (const auto& [vt, value, text] : cases)
    EXPECT_EQ(text_of(of_number(vt, value)), text) << vt << " " << value;
}

TEST(ComVariantTest, IntegersAndShortDecimalsComeBackFromTheirTexts) {
  for (std::int64_t whole = 9; whole < 1000000000000000; whole = whole * 10 + 9) {
    const std::string digits = std::to_string(whole);  // up to 999999999999999
    EXPECT_EQ(text_of(of_double(static_cast<double>(whole))),
              std::u16string(digits.begin(), digits.end()));
  }
  for (int hundredths = -100000; hundredths <= 100000; hundredths += 997) {
    VARIANT text{}, number = of_double(hundredths / 100.0);
    ASSERT_EQ(VariantChangeType(&text, &number, 0, VT_BSTR), S_OK);
    ASSERT_EQ(VariantChangeType(&number, &text, 0, VT_R8), S_OK);
    EXPECT_EQ(number.dblVal, hundredths / 100.0) << hundredths;
    VariantClear(&text);
  }
}

TEST(ComVariantTest, DatesBecomeDateAndTimeTexts) {
  VARIANT v{};
  v.vt = VT_DATE;
  v.date = 45296.0;  // 5 January 2024
  EXPECT_EQ(text_of(v), u"2024/1/5");
  v.date = 45296.5;
  EXPECT_EQ(text_of(v), u"2024/1/5 12:00:00");
  v.date = 0.25;
  EXPECT_EQ(text_of(v), u"6:00:00");
  v.date = 1.0;
  EXPECT_EQ(text_of(v), u"1899/12/31");
  v.date = 0.0;
  EXPECT_EQ(text_of(v), u"0:00:00") << "day 0 has no date part, so the time stays";
  v.date = 1e12;
  EXPECT_EQ(text_of(v), u"<failed>");
}

TEST(ComVariantTest, TextsBecomeNumbersOrFailWithoutTouchingTheTarget) {
  VARIANT text = of_text(u" 42 ");
  VARIANT number{};
  ASSERT_EQ(VariantChangeType(&number, &text, 0, VT_I4), S_OK);
  EXPECT_EQ(number.lVal, 42);
  VariantClear(&text);

  text = of_text(u"2.5");
  ASSERT_EQ(VariantChangeType(&number, &text, 0, VT_I4), S_OK);
  EXPECT_EQ(number.lVal, 2) << "rounds half to even";
  ASSERT_EQ(VariantChangeType(&number, &text, 0, VT_R8), S_OK);
  EXPECT_EQ(number.dblVal, 2.5);
  VariantClear(&text);

  text = of_text(u"true");
  ASSERT_EQ(VariantChangeType(&number, &text, 0, VT_BOOL), S_OK);
  EXPECT_EQ(number.boolVal, VARIANT_TRUE);
  number.vt = VT_I4;
  number.lVal = 7;
  EXPECT_EQ(VariantChangeType(&number, &text, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(number.lVal, 7) << "a failed conversion leaves the target alone";
  VariantClear(&text);

  text = of_text(u"300");
  EXPECT_EQ(VariantChangeType(&number, &text, 0, VT_UI1), DISP_E_OVERFLOW);
  EXPECT_EQ(number.lVal, 7);
  ASSERT_EQ(VariantChangeType(&text, &text, 0, VT_I2), S_OK) << "in place";
  EXPECT_EQ(text.vt, VT_I2);
  EXPECT_EQ(text.iVal, 300);
}

TEST(ComVariantTest, DoublesFromCurrencyAndBooleans) {
  double out = 0;
  CY amount;
  amount.int64 = 25000;
  EXPECT_EQ(VarR8FromCy(amount, &out), S_OK);
  EXPECT_EQ(out, 2.5);
  EXPECT_EQ(VarR8FromBool(VARIANT_TRUE, &out), S_OK);
  EXPECT_EQ(out, -1.0);
  EXPECT_EQ(VarR8FromBool(VARIANT_TRUE, nullptr), E_POINTER);
}

TEST(ComVariantTest, TextsOtherThanDecimalNumbersDoNotConvert) {
  for (const char16_t* word : {u"nan", u"inf", u"-Infinity", u"+-5", u"--5", u"e5", u""}) {
    VARIANT text = of_text(word);
    VARIANT number{};
    number.vt = VT_I4;
    number.lVal = 7;
    EXPECT_EQ(VariantChangeType(&number, &text, 0, VT_R8), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(&number, &text, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(number.lVal, 7);
    VariantClear(&text);
  }
  VARIANT text = of_text(u"-.5e1");
  VARIANT number{};
  ASSERT_EQ(VariantChangeType(&number, &text, 0, VT_R8), S_OK);
  EXPECT_EQ(number.dblVal, -5.0);
  VariantClear(&text);
}

}  // namespace

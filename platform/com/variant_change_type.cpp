// VariantChangeType: conversions between the VARIANT types the system uses.
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "platform/base/ascii.h"
#include "platform/com/real_text.h"
#include "platform/com/unknown.h"
#include "platform/com/variant.h"

namespace {

constexpr int kMaxDefaultMemberDepth = 4;
constexpr double kMinDate = -657434.0;      // 1 January 100
constexpr double kMaxDate = 2958465.0;      // 31 December 9999, the last day
constexpr int kDateEpochFromUnix = -25569;  // 30 December 1899 in days since 1 January 1970

// A borrowed view of `v`'s value with any VT_BYREF followed; false for a null reference or a
// tag whose width is unknown.
bool read_through(const VARIANT& v, VARIANT* value) {
  if ((v.vt & VT_BYREF) == 0) {
    *value = v;
    return true;
  }
  if (v.byref == nullptr) return false;
  const VARTYPE target = static_cast<VARTYPE>(v.vt & ~VT_BYREF);
  if (target == VT_VARIANT) return read_through(*v.pvarVal, value);
  VARIANT view{};
  view.vt = target;
  if ((target & VT_ARRAY) != 0) {
    view.parray = *v.pparray;
  } else {
    const std::uint32_t width = variant_type_size(target);
    if (width == 0 || width > 8) return false;
    std::memcpy(&view.llVal, v.byref, width);
  }
  *value = view;
  return true;
}

// The value of `object`'s default member, read as a property, into `*result` (owned).
HRESULT default_member_value(IDispatch* object, VARIANT* result) {
  if (object == nullptr) return DISP_E_TYPEMISMATCH;
  DISPPARAMS none;
  VariantInit(result);
  const HRESULT invoked = object->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                         result, nullptr, nullptr);
  return FAILED(invoked) ? DISP_E_TYPEMISMATCH : S_OK;
}

// The number a numeric value stands for; false for a type that is not a number.
bool number_of(const VARIANT& v, long double* number) {
  switch (v.vt) {
    case VT_EMPTY:
      *number = 0;
      return true;
    case VT_I1:
      *number = v.cVal;
      return true;
    case VT_UI1:
      *number = v.bVal;
      return true;
    case VT_I2:
      *number = v.iVal;
      return true;
    case VT_UI2:
      *number = v.uiVal;
      return true;
    case VT_BOOL:
      *number = v.boolVal;
      return true;
    case VT_I4:
    case VT_INT:
      *number = v.lVal;
      return true;
    case VT_UI4:
    case VT_UINT:
      *number = v.ulVal;
      return true;
    case VT_I8:
      *number = static_cast<long double>(v.llVal);
      return true;
    case VT_UI8:
      *number = static_cast<long double>(v.ullVal);
      return true;
    case VT_R4:
      *number = v.fltVal;
      return true;
    case VT_R8:
      *number = v.dblVal;
      return true;
    case VT_DATE:
      *number = v.date;
      return true;
    case VT_CY:
      *number = static_cast<long double>(v.cyVal.int64) / 10000.0L;
      return true;
    default:
      return false;
  }
}

std::u16string widen(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// Reads a number from a text: blanks around it, an optional sign, digits, a decimal point and an
// exponent. Integers are read exactly; anything else as a double.
bool parse_number(std::u16string_view text, long double* number) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t'))
    text.remove_suffix(1);
  std::string ascii;
  for (char16_t c : text) {
    if (c > 0x7F) return false;
    ascii.push_back(static_cast<char>(c));
  }
  std::string_view digits = ascii;
  const bool plus = !digits.empty() && digits.front() == '+';
  if (plus) digits.remove_prefix(1);
  // from_chars alone would also take "nan", "inf" and a second sign.
  const std::string_view magnitude =
      !plus && !digits.empty() && digits.front() == '-' ? digits.substr(1) : digits;
  if (magnitude.empty() || magnitude.find_first_of("0123456789.") != 0) return false;
  const char* end = digits.data() + digits.size();
  std::int64_t whole;
  if (auto [at, error] = std::from_chars(digits.data(), end, whole);
      error == std::errc() && at == end) {
    *number = static_cast<long double>(whole);
    return true;
  }
  double real;
  auto [at, error] = std::from_chars(digits.data(), end, real);
  if (error != std::errc() || at != end) return false;
  *number = real;
  return true;
}

template <class T>
HRESULT fit_integer(long double number, T* out) {
  if (std::isnan(number)) return DISP_E_OVERFLOW;
  const long double rounded = std::nearbyintl(number);  // half to even in the default mode
  if (rounded < static_cast<long double>(std::numeric_limits<T>::min()) ||
      rounded > static_cast<long double>(std::numeric_limits<T>::max())) {
    return DISP_E_OVERFLOW;
  }
  *out = static_cast<T>(rounded);
  return S_OK;
}

// Stores `number` as type `vt` into `out`.
HRESULT store_number(long double number, VARTYPE vt, VARIANT* out) {
  out->vt = vt;
  out->llVal = 0;
  switch (vt) {
    case VT_I1:
      return fit_integer(number, &out->cVal);
    case VT_UI1:
      return fit_integer(number, &out->bVal);
    case VT_I2:
      return fit_integer(number, &out->iVal);
    case VT_UI2:
      return fit_integer(number, &out->uiVal);
    case VT_I4:
    case VT_INT:
      return fit_integer(number, &out->lVal);
    case VT_UI4:
    case VT_UINT:
      return fit_integer(number, &out->ulVal);
    case VT_I8:
      return fit_integer(number, &out->llVal);
    case VT_UI8:
      return fit_integer(number, &out->ullVal);
    case VT_CY:
      return fit_integer(number * 10000.0L, &out->cyVal.int64);
    case VT_BOOL:
      out->boolVal = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case VT_R8:
      out->dblVal = static_cast<double>(number);
      return S_OK;
    case VT_R4:
      if (std::isfinite(number) && std::fabs(number) > FLT_MAX) return DISP_E_OVERFLOW;
      out->fltVal = static_cast<float>(number);
      return S_OK;
    case VT_DATE:
      if (!(number >= kMinDate && number < kMaxDate + 1)) return DISP_E_OVERFLOW;
      out->date = static_cast<double>(number);
      return S_OK;
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

template <class T>
std::u16string integer_text(T value) {
  char buffer[32];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return widen(std::string_view(buffer, error == std::errc() ? end : buffer));
}

std::u16string currency_text(std::int64_t scaled) {
  const bool negative = scaled < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
  std::u16string text = (negative ? u"-" : u"") + integer_text(magnitude / 10000);
  std::uint64_t fraction = magnitude % 10000;
  if (fraction == 0) return text;
  std::u16string digits = integer_text(fraction + 10000).substr(1);  // four digits
  while (digits.back() == u'0')
    digits.pop_back();
  return text + u"." + digits;
}

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

// The proleptic Gregorian date of `days` since 1 January 1970 (eras of 400 years from 1 March).
CivilDate civil_from_days(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned month_index = (5 * day_of_year + 2) / 153;  // 0 = March
  const unsigned day = day_of_year - (153 * month_index + 2) / 5 + 1;
  const unsigned month = month_index < 10 ? month_index + 3 : month_index - 9;
  const std::int64_t year =
      static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);
  return {year, month, day};
}

std::u16string date_text(double date) {
  double day = std::trunc(date);
  std::int64_t seconds = std::llround(std::fabs(date - day) * 86400.0);
  if (seconds >= 86400) {  // the time rounded up to the next midnight
    seconds = 0;
    day += 1;
  }
  std::u16string text;
  if (day != 0) {
    const CivilDate civil = civil_from_days(static_cast<std::int64_t>(day) + kDateEpochFromUnix);
    text = integer_text(civil.year) + u"/" + integer_text(civil.month) + u"/" +
           integer_text(civil.day);
    if (seconds == 0) return text;
    text += u" ";
  }
  const std::u16string minutes = integer_text(seconds / 60 % 60 + 100).substr(1);
  const std::u16string secs = integer_text(seconds % 60 + 100).substr(1);
  return text + integer_text(seconds / 3600) + u":" + minutes + u":" + secs;
}

HRESULT text_of(const VARIANT& v, int depth, std::u16string* text) {
  switch (v.vt) {
    case VT_EMPTY:
      text->clear();
      return S_OK;
    case VT_BSTR:
      text->assign(v.bstrVal ? v.bstrVal : u"", SysStringLen(v.bstrVal));
      return S_OK;
    case VT_BOOL:
      *text = v.boolVal ? u"True" : u"False";
      return S_OK;
    case VT_I1:
      *text = integer_text(v.cVal);
      return S_OK;
    case VT_UI1:
      *text = integer_text(v.bVal);
      return S_OK;
    case VT_I2:
      *text = integer_text(v.iVal);
      return S_OK;
    case VT_UI2:
      *text = integer_text(v.uiVal);
      return S_OK;
    case VT_I4:
    case VT_INT:
      *text = integer_text(v.lVal);
      return S_OK;
    case VT_UI4:
    case VT_UINT:
      *text = integer_text(v.ulVal);
      return S_OK;
    case VT_I8:
      *text = integer_text(v.llVal);
      return S_OK;
    case VT_UI8:
      *text = integer_text(v.ullVal);
      return S_OK;
    case VT_R4:
      *text = widen(real_text(v.fltVal, kFloatTextDigits));
      return S_OK;
    case VT_R8:
      *text = widen(real_text(v.dblVal, kDoubleTextDigits));
      return S_OK;
    case VT_CY:
      *text = currency_text(v.cyVal.int64);
      return S_OK;
    case VT_DATE:
      if (!(v.date >= kMinDate && v.date < kMaxDate + 1)) return DISP_E_OVERFLOW;
      *text = date_text(v.date);
      return S_OK;
    case VT_DISPATCH: {
      if (depth >= kMaxDefaultMemberDepth) return DISP_E_TYPEMISMATCH;
      VARIANT value;
      const HRESULT read = default_member_value(v.pdispVal, &value);
      if (FAILED(read)) return read;
      VARIANT view;
      HRESULT converted =
          read_through(value, &view) ? text_of(view, depth + 1, text) : DISP_E_TYPEMISMATCH;
      VariantClear(&value);
      return converted;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT convert(const VARIANT& value, VARTYPE vt, int depth, VARIANT* out);

HRESULT convert_to_number(const VARIANT& value, VARTYPE vt, int depth, VARIANT* out) {
  long double number;
  if (number_of(value, &number)) return store_number(number, vt, out);
  if (value.vt == VT_BSTR) {
    const std::u16string_view text(value.bstrVal ? value.bstrVal : u"",
                                   SysStringLen(value.bstrVal));
    if (vt == VT_BOOL &&
        (ascii_equal_ignoring_case(text, "true") || ascii_equal_ignoring_case(text, "false"))) {
      return store_number(ascii_equal_ignoring_case(text, "true") ? -1 : 0, vt, out);
    }
    return parse_number(text, &number) ? store_number(number, vt, out) : DISP_E_TYPEMISMATCH;
  }
  if (value.vt == VT_DISPATCH && depth < kMaxDefaultMemberDepth) {
    VARIANT member;
    HRESULT read = default_member_value(value.pdispVal, &member);
    if (FAILED(read)) return read;
    VARIANT view;
    read = read_through(member, &view) ? convert(view, vt, depth + 1, out) : DISP_E_TYPEMISMATCH;
    VariantClear(&member);
    return read;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT convert_interface(const VARIANT& value, VARTYPE vt, VARIANT* out) {
  if (value.vt != VT_DISPATCH && value.vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
  out->vt = vt;
  out->punkVal = nullptr;
  if (value.punkVal == nullptr) return S_OK;
  void* object = nullptr;
  const IID& iid = vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
  if (FAILED(value.punkVal->QueryInterface(iid, &object))) return DISP_E_TYPEMISMATCH;
  out->punkVal = static_cast<IUnknown*>(object);
  return S_OK;
}

HRESULT convert(const VARIANT& value, VARTYPE vt, int depth, VARIANT* out) {
  VariantInit(out);
  if (vt == value.vt) return VariantCopy(out, &value);
  if ((vt & (VT_ARRAY | VT_BYREF)) != 0 || (value.vt & VT_ARRAY) != 0) return DISP_E_TYPEMISMATCH;
  switch (vt) {
    case VT_EMPTY:
      return S_OK;
    case VT_NULL:
    case VT_ERROR:
      return DISP_E_TYPEMISMATCH;
    case VT_BSTR: {
      std::u16string text;
      const HRESULT made = text_of(value, depth, &text);
      if (FAILED(made)) return made;
      out->bstrVal = SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
      if (out->bstrVal == nullptr) return E_OUTOFMEMORY;
      out->vt = VT_BSTR;
      return S_OK;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return convert_interface(value, vt, out);
    default:
      if (variant_type_size(vt) == 0 || vt == VT_VARIANT) return DISP_E_BADVARTYPE;
      return convert_to_number(value, vt, depth, out);
  }
}

}  // namespace

/* VariantChangeType: contract as the platform's; texts as the header describes. */
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, std::uint16_t, VARTYPE vt) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  VARIANT value;
  if (!read_through(*src, &value)) return E_INVALIDARG;
  VARIANT result;
  const HRESULT converted = convert(value, vt, 0, &result);
  if (FAILED(converted)) {
    if (result.vt != VT_EMPTY) VariantClear(&result);
    return converted;
  }
  VariantClear(dest);
  *dest = result;
  return S_OK;
}

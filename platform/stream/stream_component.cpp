#include "platform/stream/stream_component.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/com/dispatch_object.h"
#include "platform/com/safearray.h"
#include "platform/stream/charset_names.h"

namespace {

enum StreamMember : DISPID {
  kType = 1,
  kMode,
  kCharset,
  kPosition,
  kOpen = 10,
  kWrite,
  kReadText,
  kClose,
};

constexpr VARTYPE kDataParam[] = {VT_VARIANT};
constexpr VARTYPE kCountParam[] = {VT_I4};

constexpr DispatchMember kMembers[] = {
    {.name = u"Type", .id = kType, .kind = MemberKind::property, .type = VT_I4},
    {.name = u"Mode", .id = kMode, .kind = MemberKind::property, .type = VT_I4},
    {.name = u"Charset", .id = kCharset, .kind = MemberKind::property, .type = VT_BSTR},
    {.name = u"Position", .id = kPosition, .kind = MemberKind::property, .type = VT_I4},
    {.name = u"Open", .id = kOpen, .type = VT_VOID},
    {.name = u"Write", .id = kWrite, .type = VT_VOID, .params = kDataParam},
    {.name = u"ReadText", .id = kReadText, .type = VT_BSTR, .params = kCountParam, .required = 0},
    {.name = u"Close", .id = kClose, .type = VT_VOID},
};

constexpr std::u16string_view kDefaultCharset = u"Unicode";

struct ConverterClose {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// `bytes` decoded by the converter named `converter`; malformed bytes become substitutes.
// False when the converter cannot be opened.
bool decode(const std::string& converter, std::span<const std::uint8_t> bytes,
            std::u16string* text) {
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UConverter, ConverterClose> opened(ucnv_open(converter.c_str(), &status));
  if (U_FAILURE(status)) return false;
  text->assign(bytes.size() + 16, u'\0');
  const auto* source = reinterpret_cast<const char*>(bytes.data());
  const char* const end = source + bytes.size();
  std::size_t used = 0;
  do {
    status = U_ZERO_ERROR;
    char16_t* target = text->data() + used;
    ucnv_toUnicode(opened.get(), &target, text->data() + text->size(), &source, end, nullptr, true,
                   &status);
    used = static_cast<std::size_t>(target - text->data());
    if (status == U_BUFFER_OVERFLOW_ERROR) text->resize(text->size() * 2);
  } while (status == U_BUFFER_OVERFLOW_ERROR);
  text->resize(used);
  return U_SUCCESS(status);
}

// The bytes of a byte array argument: VT_ARRAY | VT_UI1, by value or by reference, possibly in a
// variant passed by reference. Null when the argument is anything else.
SAFEARRAY* byte_array_of(const VARIANT& argument) {
  const VARIANT* value = &argument;
  if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal != nullptr) value = value->pvarVal;
  if (value->vt == (VT_ARRAY | VT_UI1)) return value->parray;
  if (value->vt == (VT_BYREF | VT_ARRAY | VT_UI1) && value->pparray != nullptr) {
    return *value->pparray;
  }
  return nullptr;
}

HRESULT create_stream(IUnknown** instance);

class Stream final : public DispatchObject {
 public:
  Stream() : DispatchObject(kMembers, create_stream) {}

 protected:
  HRESULT invoke_member(const DispatchMember& member, const DispatchCall& call) override {
    switch (member.id) {
      case kType:
        return call.is_put() ? put_type(call) : call.return_int(type_);
      case kMode:
        return call.is_put() ? put_mode(call) : call.return_int(mode_);
      case kCharset:
        return call.is_put() ? put_charset(call) : call.return_text(charset_);
      case kPosition:
        return position(call);
      case kOpen:
        return open();
      case kWrite:
        return write(call);
      case kReadText:
        return read_text(call);
      default:
        return close();
    }
  }

 private:
  static HRESULT put_number(const DispatchCall& call, std::int32_t* number) {
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, &call.put_value(), 0, VT_I4))) {
      return ado_result(adErrInvalidArgument);
    }
    *number = converted.lVal;
    return S_OK;
  }

  // Type and Charset change on an open stream only at its start.
  [[nodiscard]] bool settled() const { return open_ && position_ != 0; }

  HRESULT put_type(const DispatchCall& call) {
    std::int32_t type = 0;
    if (FAILED(put_number(call, &type)) || (type != adTypeBinary && type != adTypeText)) {
      return ado_result(adErrInvalidArgument);
    }
    if (settled()) return ado_result(adErrIllegalOperation);
    type_ = type;
    return S_OK;
  }

  HRESULT put_mode(const DispatchCall& call) {
    if (open_) return ado_result(adErrObjectOpen);
    return put_number(call, &mode_);
  }

  HRESULT put_charset(const DispatchCall& call) {
    VARIANT name;
    VariantInit(&name);
    if (FAILED(VariantChangeType(&name, &call.put_value(), 0, VT_BSTR))) {
      return ado_result(adErrInvalidArgument);
    }
    const std::u16string_view charset(name.bstrVal ? name.bstrVal : u"",
                                      SysStringLen(name.bstrVal));
    std::string converter = converter_for_charset(charset);
    HRESULT result = S_OK;
    if (converter.empty()) {
      result = ado_result(adErrInvalidArgument);
    } else if (settled()) {
      result = ado_result(adErrIllegalOperation);
    } else {
      charset_ = charset;
      converter_ = std::move(converter);
    }
    VariantClear(&name);
    return result;
  }

  HRESULT position(const DispatchCall& call) {
    if (!open_) return ado_result(adErrObjectClosed);
    if (!call.is_put()) return call.return_int(static_cast<std::int32_t>(position_));
    std::int32_t position = 0;
    if (FAILED(put_number(call, &position)) || position < 0) {
      return ado_result(adErrInvalidArgument);
    }
    position_ = static_cast<std::size_t>(position);
    if (position_ > bytes_.size()) bytes_.resize(position_);  // new bytes are zero
    return S_OK;
  }

  HRESULT open() {
    if (open_) return ado_result(adErrObjectOpen);
    open_ = true;
    bytes_.clear();
    position_ = 0;
    return S_OK;
  }

  HRESULT write(const DispatchCall& call) {
    if (!open_) return ado_result(adErrObjectClosed);
    if (type_ != adTypeBinary) return ado_result(adErrIllegalOperation);
    SAFEARRAY* array = byte_array_of(call.arg(0));
    void* data = nullptr;
    if (array == nullptr || FAILED(SafeArrayAccessData(array, &data))) {
      return ado_result(adErrInvalidArgument);
    }
    const auto count = static_cast<std::size_t>(safe_array_total(array));
    if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
    if (count > 0) std::memcpy(bytes_.data() + position_, data, count);
    SafeArrayUnaccessData(array);
    position_ += count;
    return S_OK;
  }

  HRESULT read_text(const DispatchCall& call) {
    if (!open_) return ado_result(adErrObjectClosed);
    if (type_ != adTypeText) return ado_result(adErrIllegalOperation);
    std::int32_t count = adReadAll;
    if (call.count() == 1 && call.arg(0).vt != VT_ERROR && FAILED(call.get_int(0, &count))) {
      return ado_result(adErrInvalidArgument);
    }
    if (count != adReadAll) return E_NOTIMPL;
    std::span<const std::uint8_t> rest(bytes_.data() + position_, bytes_.size() - position_);
    const std::span<const unsigned char> mark = byte_order_mark(converter_);
    if (position_ == 0 && !mark.empty() && rest.size() >= mark.size() &&
        std::equal(mark.begin(), mark.end(), rest.begin())) {
      rest = rest.subspan(mark.size());
    }
    std::u16string text;
    if (!decode(converter_, rest, &text)) return E_FAIL;
    position_ = bytes_.size();
    return call.return_text(text);
  }

  HRESULT close() {
    if (!open_) return ado_result(adErrObjectClosed);
    open_ = false;
    bytes_ = {};
    position_ = 0;
    return S_OK;
  }

  std::int32_t type_ = adTypeText;
  std::int32_t mode_ = 0;
  std::u16string charset_{kDefaultCharset};
  std::string converter_ = "UTF-16LE";
  bool open_ = false;
  std::vector<std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

HRESULT create_stream(IUnknown** instance) {
  *instance = static_cast<IDispatch*>(new Stream);
  return S_OK;
}

}  // namespace

void register_stream_component() {
  register_class(u"Adodb.Stream", kStreamClsid, create_stream);
}

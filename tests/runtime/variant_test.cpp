#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>

#include "platform/com/apartment.h"
#include "platform/com/safearray.h"
#include "runtime/bridge.h"
#include "runtime/text_blocks.h"
#include "runtime/variant_value.h"
#include "tests/support/test_probe.h"

namespace {

// A one-dimensional ValueArray block of `element` values, each `width` bytes.
template <class T>
ValueArray value_array(TypeCode element, std::initializer_list<T> values) {
  const auto count = static_cast<std::uint32_t>(values.size());
  auto* block = static_cast<std::uint8_t*>(mem_alloc(8 + count * sizeof(T)));
  const std::int32_t header[2] = {1, static_cast<std::int32_t>(count)};
  std::memcpy(block, header, sizeof header);
  std::uint32_t i = 0;
  for (const T& value : values)
    std::memcpy(block + 8 + sizeof(T) * i++, &value, sizeof(T));
  return ValueArray::adopt(element, block);
}

ValueArray text_array(std::initializer_list<const char*> texts) {
  std::vector<char*> owned;
  for (const char* text : texts)
    owned.push_back(text_copy(text).release());
  auto* block =
      static_cast<std::uint8_t*>(mem_alloc(8 + 8 * static_cast<std::uint32_t>(owned.size())));
  const std::int32_t header[2] = {1, static_cast<std::int32_t>(owned.size())};
  std::memcpy(block, header, sizeof header);
  std::memcpy(block + 8, owned.data(), 8 * owned.size());
  return ValueArray::adopt(TypeCode::text, block);
}

std::string text_of(const VariantValue& v, std::optional<std::int32_t> index = {}) {
  Text text = variant_to_text(v.get(), index);
  return std::string(text.view());
}

TEST(VariantTest, DeclaredVariantIsIntegerZeroAndReadsAsText) {
  VariantValue v;
  EXPECT_EQ(v->vt, VT_I4);
  EXPECT_EQ(text_of(v), "0");
  ASSERT_TRUE(variant_assign(v, TypedArg::logical(true)));
  EXPECT_EQ(text_of(v), "真");
  ASSERT_TRUE(variant_assign(v, TypedArg::logical(false)));
  EXPECT_EQ(text_of(v), "假");
  ASSERT_TRUE(variant_assign(v, TypedArg::integer(-12)));
  EXPECT_EQ(text_of(v), "-12");
  ASSERT_TRUE(variant_assign(v, TypedArg::float64(0.1)));
  EXPECT_EQ(text_of(v), "0.1");
  ASSERT_TRUE(variant_assign(v, TypedArg{}));
  EXPECT_EQ(v->vt, VT_EMPTY);
  EXPECT_EQ(text_of(v), "");
  EXPECT_TRUE(variant_to_text(nullptr).is_null());
  EXPECT_FALSE(variant_assign(v, TypedArg::with_words(TypeCode{0x1234}, 0)));
  EXPECT_EQ(v->vt, VT_EMPTY) << "unchanged";
}

TEST(VariantTest, TextAndByteSetAssignmentsOwnCopies) {
  VariantValue v;
  Text text = text_copy("中文");
  ASSERT_TRUE(variant_assign(v, text.arg()));
  EXPECT_EQ(v->vt, VT_BSTR);
  text.reset();
  EXPECT_EQ(text_of(v), "中文");

  ByteSet bytes = bytes_from_buffer("\x00\x7F\x80", 3);
  ASSERT_TRUE(variant_assign(v, bytes.arg()));
  ASSERT_EQ(v->vt, VT_ARRAY | VT_UI1);
  ASSERT_EQ(safe_array_total(v->parray), 3u);
  std::int32_t bound = -1;
  SafeArrayGetLBound(v->parray, 1, &bound);
  EXPECT_EQ(bound, 0);
  bytes.mutable_bytes()[2] = 0;
  EXPECT_EQ(static_cast<std::uint8_t*>(v->parray->pvData)[2], 0x80) << "a copy of the bytes";
  EXPECT_EQ(text_of(v, 3), "128");

  EXPECT_FALSE(variant_assign(v, TypedArg::byte_set(nullptr))) << "an empty byte set fails";
  EXPECT_EQ(v->vt, VT_ARRAY | VT_UI1);
}

TEST(VariantTest, AssigningOrCopyingAVariantToItselfKeepsIt) {
  VariantValue v;
  ASSERT_TRUE(variant_assign(v, TypedArg::text("same")));
  ASSERT_TRUE(variant_assign(v, v.arg()));
  EXPECT_EQ(text_of(v), "same");
  variant_copy(v.get(), v.get());
  EXPECT_EQ(text_of(v), "same");

  VariantValue copy;
  variant_copy(copy.get(), v.get());
  EXPECT_NE(copy->bstrVal, v->bstrVal);
  variant_copy(copy.get(), nullptr);
  EXPECT_EQ(copy->vt, VT_EMPTY);
  variant_clear(v.get());
  variant_clear(v.get());
  EXPECT_EQ(v->vt, VT_EMPTY);
  variant_clear(nullptr);
}

TEST(VariantTest, ArrayElementsAreReadOneBasedInStorageOrder) {
  VariantValue v;
  ValueArray texts = text_array({"a", "b", "c"});
  ASSERT_TRUE(variant_assign(v, texts.arg()));
  EXPECT_EQ(v->vt, VT_ARRAY | VT_BSTR);
  EXPECT_EQ(text_of(v), "a") << "index omitted";
  EXPECT_EQ(text_of(v, 3), "c");
  EXPECT_EQ(text_of(v, 0), "a");
  EXPECT_EQ(text_of(v, -5), "a");
  EXPECT_TRUE(variant_to_text(v.get(), 4).is_null()) << "one past the end";

  VARIANT reference{};
  reference.vt = VT_BYREF | VT_ARRAY | VT_BSTR;
  reference.pparray = &v->parray;
  Text second = variant_to_text(&reference, 2);
  EXPECT_EQ(second.view(), "b");

  ValueArray logicals = value_array<std::int32_t>(TypeCode::logical, {5, 0});
  ASSERT_TRUE(variant_assign(v, logicals.arg()));
  EXPECT_EQ(v->vt, VT_ARRAY | VT_BOOL);
  EXPECT_EQ(text_of(v, 1), "真");
  EXPECT_EQ(text_of(v, 2), "假");
  ValueArray nothing = value_array<std::int32_t>(TypeCode::integer, {});
  EXPECT_FALSE(variant_assign(v, nothing.arg()));
  ValueArray objects = value_array<void*>(TypeCode::object, {nullptr});
  EXPECT_FALSE(variant_assign(v, objects.arg()));
  ValueArray byte_sets =
      value_array<const void*>(TypeCode::byte_set, {bytes_from_buffer("ab", 2).release()});
  EXPECT_FALSE(variant_assign(v, byte_sets.arg())) << "its elements are pointers, not bytes";
  EXPECT_EQ(v->vt, VT_ARRAY | VT_BOOL);
}

TEST(VariantTest, EmptyArrayHasNoFirstElement) {
  VariantValue v;
  variant_clear(v.get());
  v->vt = VT_ARRAY | VT_I4;
  v->parray = SafeArrayCreateVector(VT_I4, 0, 0);
  EXPECT_TRUE(variant_to_text(v.get()).is_null());
  EXPECT_FALSE(variant_assign(v, TypedArg::integer(1)));
}

TEST(VariantTest, ElementWritesConvertToTheElementType) {
  VariantValue v;
  ValueArray numbers = value_array<std::int32_t>(TypeCode::integer, {1, 2, 3});
  ASSERT_TRUE(variant_assign(v, numbers.arg()));
  EXPECT_TRUE(variant_assign(v, TypedArg::text("42"), 2));
  EXPECT_EQ(text_of(v, 2), "42");
  EXPECT_FALSE(variant_assign(v, TypedArg::text("x"), 2));
  EXPECT_FALSE(variant_assign(v, TypedArg::integer(9), 4));
  EXPECT_TRUE(variant_assign(v, TypedArg::float64(2.5)));
  EXPECT_EQ(text_of(v, 1), "2") << "rounded half to even into the first element";

  ValueArray texts = text_array({"old", "b"});
  ASSERT_TRUE(variant_assign(v, texts.arg()));
  EXPECT_TRUE(variant_assign(v, TypedArg::integer(7), 1));
  EXPECT_EQ(text_of(v, 1), "7");

  VariantValue mixed;
  variant_clear(mixed.get());
  mixed->vt = VT_ARRAY | VT_VARIANT;
  mixed->parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  EXPECT_TRUE(variant_assign(mixed, TypedArg::text("t"), 2));
  EXPECT_TRUE(variant_assign(mixed, TypedArg::text("u"), 2));
  EXPECT_EQ(text_of(mixed, 2), "u");
  EXPECT_EQ(text_of(mixed, 1), "");
}

TEST(VariantTest, ObjectsAreHeldWithTheirOwnReference) {
  register_probe_classes();
  CoInitialize(nullptr);
  {
    AutomationObject probe;
    ASSERT_TRUE(object_create(probe, "Test.Probe"));
    VariantValue v;
    ASSERT_TRUE(variant_assign(v, probe.arg()));
    EXPECT_EQ(v->vt, VT_UNKNOWN);
    object_release(probe);
    EXPECT_EQ(probe_instances(), 1) << "the variant's reference keeps it";

    VariantValue objects;
    variant_clear(objects.get());
    objects->vt = VT_ARRAY | VT_UNKNOWN;
    objects->parray = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
    ASSERT_TRUE(object_create(probe, "Test.Probe"));
    EXPECT_TRUE(variant_assign(objects, probe.arg(), 1));
    EXPECT_TRUE(variant_assign(objects, v.arg(), 1));
    object_release(probe);
    EXPECT_EQ(probe_instances(), 1) << "the overwritten element was released";
    EXPECT_EQ(text_of(objects), "") << "an object without a default member has no text";
  }
  EXPECT_EQ(probe_instances(), 0);
  CoUninitialize();
}

}  // namespace

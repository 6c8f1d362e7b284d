#include <gtest/gtest.h>

#include <cstring>

#include "platform/com/apartment.h"
#include "runtime/bridge.h"
#include "runtime/text_blocks.h"
#include "tests/support/test_probe.h"

namespace {

std::string as_string(const Text& text) {
  return std::string(text.view());
}

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    register_probe_classes();
    CoInitialize(nullptr);
    ASSERT_TRUE(object_create(probe, "Test.Probe"));
  }
  void TearDown() override {
    object_release(probe);
    CoUninitialize();
    EXPECT_EQ(probe_instances(), 0) << "every instance the test made is destroyed";
  }

  AutomationObject probe;
};

TEST_F(BridgeTest, CreatesByProgIdOrClsidTextRetryingWithoutRemoteServers) {
  EXPECT_EQ(probe.last_result(), S_OK) << "CLSCTX_ALL is refused here, the retry succeeds";
  AutomationObject other;
  EXPECT_TRUE(object_create(other, kProbeClsidText));
  EXPECT_TRUE(object_create(other, kProbeClsidText)) << "re-creating releases the old instance";
  EXPECT_EQ(probe_instances(), 2);

  EXPECT_FALSE(object_create(other, "No.Such.Class"));
  EXPECT_EQ(other.last_result(), CO_E_CLASSSTRING) << "CLSIDFromString's code, not the ProgID's";
  EXPECT_TRUE(other.empty());
  EXPECT_FALSE(object_create(other, "{00000000-0000-0000-0000-000000000001}"));
  EXPECT_EQ(other.last_result(), REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(object_create(other, nullptr));
  EXPECT_EQ(other.last_result(), 0);
  EXPECT_TRUE(object_create(other, "Test.Probe", "C:\\no\\such.tlb")) << "type library fails over";

  CoUninitialize();
  EXPECT_FALSE(object_create(other, "Test.Probe"));
  EXPECT_EQ(other.last_result(), CO_E_NOTINITIALIZED) << "the bridge never enters the apartment";
  CoInitialize(nullptr);
}

TEST_F(BridgeTest, HolderCommandsShareAndRelease) {
  object_share(probe, probe);
  EXPECT_EQ(probe_instances(), 1);
  EXPECT_TRUE(set_property(probe, "Count", {TypedArg::integer(3)})) << "still alive and usable";
  AutomationObject copy;
  object_share(copy, probe);
  EXPECT_EQ(copy.iface(), probe.iface());
  object_release(probe);
  EXPECT_TRUE(object_is_empty(probe));
  EXPECT_EQ(probe.last_result(), 0);
  EXPECT_EQ(get_property_number(copy, "Count"), 3.0) << "the shared reference keeps it alive";
  object_share(copy, probe);
  EXPECT_TRUE(object_is_empty(copy));
}

TEST_F(BridgeTest, ArgumentCountDropsOnlyTheSingleTrailingEmptyArgument) {
  const TypedArg none[] = {probe.arg(), TypedArg::text("ArgCount"), TypedArg{}};
  EXPECT_EQ(call_method_number(none), 0.0);
  EXPECT_TRUE(last_probe_call().arg_types.empty());
  const TypedArg two_empties[] = {probe.arg(), TypedArg::text("ArgCount"), TypedArg{}, TypedArg{}};
  EXPECT_EQ(call_method_number(two_empties), 1.0);
  const TypedArg bare[] = {probe.arg(), TypedArg::text("ArgCount")};
  EXPECT_EQ(call_method_number(bare), 0.0);
  const TypedArg holder_only[] = {probe.arg()};
  EXPECT_EQ(call_method_number(holder_only), 0.0);
  EXPECT_EQ(probe.last_result(), E_INVALIDARG);
}

TEST_F(BridgeTest, FailuresLeaveTheirCodeUntilTheNextCall) {
  EXPECT_FALSE(set_property(probe, "Missing", {TypedArg::integer(1)}));
  EXPECT_EQ(probe.last_result(), DISP_E_UNKNOWNNAME);
  EXPECT_TRUE(get_property_text(probe, "name").empty()) << "names ignore case";
  EXPECT_EQ(probe.last_result(), S_OK);
  call_method(probe, "Fail");
  EXPECT_EQ(probe.last_result(), DISP_E_EXCEPTION);
  EXPECT_TRUE(call_method_object(probe, "Fail").empty());
  EXPECT_FALSE(set_property(probe, "Count", {})) << "a write without a value is refused";
  EXPECT_EQ(probe.last_result(), DISP_E_PARAMNOTFOUND);

  AutomationObject empty;
  EXPECT_TRUE(call_method_text(empty, "Echo", {TypedArg::text("x")}).is_null());
  EXPECT_EQ(empty.last_result(), E_POINTER);
  EXPECT_EQ(get_property_number(empty, "Count"), 0.0);
  EXPECT_FALSE(call_method_logical(empty, "Echo"));
  EXPECT_FALSE(set_property(empty, "Count", {TypedArg::integer(1)}));
  EXPECT_TRUE(get_property_object(empty, "Peer").empty());
  EXPECT_EQ(call_method_variant(empty, "Echo")->vt, VT_EMPTY);
  EXPECT_EQ(empty.last_result(), E_POINTER);
}

TEST_F(BridgeTest, PropertiesRoundTripTextsInTheSystemCodePage) {
  EXPECT_TRUE(set_property(probe, "Name", {TypedArg::text("中文 name")}));
  EXPECT_EQ(as_string(get_property_text(probe, "Name")), "中文 name");
  EXPECT_EQ(last_probe_call().flags, DISPATCH_PROPERTYGET);
  EXPECT_TRUE(set_property(probe, "Ratio", {TypedArg::float64(2.5)}));
  EXPECT_EQ(get_property_number(probe, "Ratio"), 2.5);
  EXPECT_TRUE(get_property_text(probe, "Ratio").is_null()) << "numbers are not texts";
  EXPECT_TRUE(set_property(probe, "Flag", {TypedArg::logical(true)}));
  EXPECT_EQ(get_property_number(probe, "Flag"), -1.0);
  EXPECT_TRUE(call_method_logical(probe, "Echo", {TypedArg::logical(true)}));
  EXPECT_FALSE(call_method_logical(probe, "Echo", {TypedArg::integer(1)}))
      << "only VT_BOOL is true";
}

TEST_F(BridgeTest, NumberRuleReadsOnlyTheListedTypes) {
  const struct {
    std::int32_t kind;
    double expected;
  } cases[] = {{1, -7}, {2, 2.5},  {3, 1.5},  {4, -1},  {5, 200},    {6, 0}, {7, 0},
               {8, 0},  {9, 0.25}, {10, 4e9}, {11, -3}, {12, 60000}, {13, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(call_method_number(probe, "Kinds", {TypedArg::integer(c.kind)}), c.expected)
        << "kind " << c.kind;
  }
  EXPECT_EQ(call_method_number(probe, "Echo", {TypedArg::text("12")}), 0.0) << "no text is parsed";
}

TEST_F(BridgeTest, EachArgumentTypeArrivesAsItsVariantType) {
  VariantValue variant;
  ByteSet bytes = bytes_from_buffer("ab", 2);
  const TypedArg args[] = {probe.arg(),
                           TypedArg::text("ArgCount"),
                           probe.arg(),
                           variant.arg(),
                           TypedArg::logical(true),
                           TypedArg::date_time(1.5),
                           TypedArg::text("t"),
                           bytes.arg(),
                           TypedArg::dword(1),
                           TypedArg::byte(2),
                           TypedArg::short_int(3),
                           TypedArg::integer(4),
                           TypedArg::long_int(5),
                           TypedArg::float32(6),
                           TypedArg::float64(7),
                           TypedArg::with_words(TypeCode{0x1234}, 0)};
  EXPECT_EQ(call_method_number(args), 14.0);
  const std::vector<VARTYPE> expected = {
      VT_DISPATCH, VT_I4, VT_BOOL, VT_DATE, VT_BSTR, VT_ARRAY | VT_UI1, VT_UI4, VT_UI1,
      VT_I2,       VT_I4, VT_I8,   VT_R4,   VT_R8,   VT_EMPTY};
  EXPECT_EQ(last_probe_call().arg_types, expected);
  EXPECT_EQ(call_method_number(probe, "Echo", {TypedArg::short_int(-5)}), -5.0);
  EXPECT_EQ(call_method_number(probe, "Echo", {TypedArg::float32(0.5f)}), 0.5);
  EXPECT_EQ(call_method_number(probe, "Echo", {TypedArg::long_int(9)}), 0.0) << "VT_I8 reads as 0";
}

TEST_F(BridgeTest, ByValueVariantStaysOwnedByTheCaller) {
  VariantValue subject;
  ASSERT_TRUE(variant_assign(subject, TypedArg::text("subject")));
  EXPECT_EQ(as_string(call_method_text(probe, "Echo", {subject.arg()})), "subject");
  EXPECT_EQ(as_string(call_method_text(probe, "Echo", {subject.arg()})), "subject");
  EXPECT_EQ(subject->vt, VT_BSTR);
  EXPECT_EQ(std::u16string_view(subject->bstrVal), u"subject");
  variant_clear(subject.get());  // once here, the owner's destructor finds VT_EMPTY
  EXPECT_EQ(subject->vt, VT_EMPTY);

  ByteSet bytes = bytes_from_buffer("xyz", 3);
  VariantValue array;
  ASSERT_TRUE(variant_assign(array, bytes.arg()));
  EXPECT_EQ(call_method_number(probe, "Bytes", {array.arg()}), 3.0) << "an array in a variant";
  EXPECT_EQ(array->vt, VT_ARRAY | VT_UI1);
}

TEST_F(BridgeTest, ByReferenceTextComesBackAsTheCalleesText) {
  Text text = text_copy("中");
  call_method(probe, "Append",
              {TypedArg::reference(TypeCode::text, text.variable()), TypedArg::text("文")});
  EXPECT_EQ(probe.last_result(), S_OK);
  EXPECT_EQ(text.view(), "中文");
  EXPECT_EQ(last_probe_call().arg_types[0], VT_BYREF | VT_BSTR);

  Text empty;
  call_method(probe, "Append",
              {TypedArg::reference(TypeCode::text, empty.variable()), TypedArg::text("x")});
  EXPECT_TRUE(last_probe_call().received_null_text);
  EXPECT_EQ(empty.view(), "x");
  char* constant = const_cast<char*>(kEmptyText);
  call_method(probe, "Append",
              {TypedArg::reference(TypeCode::text, &constant), TypedArg::text("y")});
  EXPECT_TRUE(last_probe_call().received_null_text);
  Text adopted = Text::adopt(constant);
  EXPECT_EQ(adopted.view(), "y");

  Text kept = text_copy("kept");
  EXPECT_EQ(as_string(call_method_text(
                probe, "Peek",
                {TypedArg::reference(TypeCode::text, kept.variable()), TypedArg::text("!")})),
            "kept!");
  EXPECT_EQ(last_probe_call().arg_types[0], VT_BSTR) << "not declared by reference";
  EXPECT_EQ(kept.view(), "kept");
}

TEST_F(BridgeTest, UndescribedMembersGetEverythingByValue) {
  AutomationObject bare;
  ASSERT_TRUE(object_create(bare, "Test.BareProbe"));
  Text text = text_copy("a");
  std::int32_t number = 5;
  call_method(bare, "Append",
              {TypedArg::reference(TypeCode::text, text.variable()), TypedArg::text("b")});
  EXPECT_EQ(bare.last_result(), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(last_probe_call().arg_types[0], VT_BSTR);
  EXPECT_EQ(text.view(), "a");
  call_method(bare, "Bump", {TypedArg::reference(TypeCode::integer, &number)});
  EXPECT_EQ(last_probe_call().arg_types[0], VT_I4);
  EXPECT_EQ(number, 5);
  AutomationObject other;
  ASSERT_TRUE(object_create(other, "Test.Probe"));
  EXPECT_FALSE(set_property(bare, "Peer", {other.arg()}));
  EXPECT_EQ(last_probe_call().flags, DISPATCH_PROPERTYPUT);
}

TEST_F(BridgeTest, DeclaredByReferenceNumbersLogicalsAndVariantsChangeInPlace) {
  std::int32_t number = 41;
  call_method(probe, "Bump", {TypedArg::reference(TypeCode::integer, &number)});
  EXPECT_EQ(number, 42);

  std::int32_t flag = 1;
  call_method(probe, "Toggle", {TypedArg::reference(TypeCode::logical, &flag)});
  EXPECT_EQ(flag, 0) << "the whole variable is false, not just its low half";
  call_method(probe, "Toggle", {TypedArg::reference(TypeCode::logical, &flag)});
  EXPECT_EQ(flag, -1);

  VariantValue value;
  call_method(probe, "Replace", {value.ref()});
  EXPECT_EQ(value->vt, VT_BSTR);
  VariantValue by_value;
  call_method(probe, "Replace", {by_value.arg()});
  EXPECT_EQ(last_probe_call().arg_types[0], VT_BYREF | VT_VARIANT) << "declared: passed through";
  EXPECT_EQ(std::u16string_view(by_value->bstrVal), u"replaced");
}

TEST_F(BridgeTest, ByteSetArrivesAsZeroBasedByteArrayAndIsNotChanged) {
  ByteSet bytes = bytes_from_buffer("\x01\x02\xFF", 3);
  EXPECT_EQ(call_method_number(probe, "Bytes", {bytes.arg()}), 3.0);
  const ProbeCall& call = last_probe_call();
  EXPECT_EQ(call.dimensions, 1u);
  EXPECT_EQ(call.lower_bound, 0);
  EXPECT_EQ(call.bytes, (std::vector<std::uint8_t>{1, 2, 0xFF}));
  EXPECT_EQ(bytes.bytes()[0], 1) << "the callee wrote only its own copy";
  EXPECT_EQ(call_method_number(probe, "Bytes", {TypedArg::byte_set(nullptr)}), 0.0);
  void* none = nullptr;
  EXPECT_EQ(call_method_number(probe, "Bytes", {TypedArg::reference(TypeCode::byte_set, &none)}),
            -1.0)
      << "a null byte-set variable sends no array";
}

TEST_F(BridgeTest, ObjectResultsAndByReferenceObjectWrites) {
  AutomationObject child = call_method_object(probe, "Child");
  EXPECT_FALSE(child.empty());
  EXPECT_EQ(child.last_result(), 0);
  AutomationObject kept = call_method_object(probe, "ChildByRef");
  AutomationObject kept_again = call_method_object(probe, "ChildByRef");
  EXPECT_EQ(kept.iface(), kept_again.iface());
  AutomationObject unknown = call_method_object(probe, "Kinds", {TypedArg::integer(8)});
  EXPECT_FALSE(unknown.empty());
  AutomationObject item = get_property_object(probe, "Item", {TypedArg::integer(3)});
  EXPECT_EQ(as_string(get_property_text(item, "Name")), "item3");
  EXPECT_TRUE(call_method_object(probe, "Echo", {TypedArg::integer(1)}).empty());

  EXPECT_TRUE(set_property(probe, "Peer", {child.arg()}));
  EXPECT_EQ(last_probe_call().flags, DISPATCH_PROPERTYPUTREF);
  EXPECT_EQ(last_probe_call().arg_types[0], VT_BYREF | VT_DISPATCH);
  AutomationObject peer = get_property_object(probe, "Peer");
  EXPECT_EQ(peer.iface(), child.iface());
  EXPECT_EQ(probe.last_result(), S_OK);
}

TEST_F(BridgeTest, VariantResultsComeBackAsTheyCame) {
  VariantValue echoed = call_method_variant(probe, "Echo", {TypedArg::text("x")});
  EXPECT_EQ(echoed->vt, VT_BSTR);
  VariantValue array = call_method_variant(probe, "Kinds", {TypedArg::integer(13)});
  EXPECT_EQ(array->vt, VT_ARRAY | VT_BSTR);
  VariantValue missing = get_property_variant(probe, "Missing");
  EXPECT_EQ(missing->vt, VT_EMPTY);
  EXPECT_EQ(probe.last_result(), DISP_E_UNKNOWNNAME);
}

}  // namespace

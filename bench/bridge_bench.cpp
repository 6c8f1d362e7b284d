// A late-bound member call through the automation bridge (name look-up, type description,
// argument conversion, Invoke, result rule) against a direct C++ virtual call doing the same sum.
#include <benchmark/benchmark.h>

#include "platform/com/apartment.h"
#include "platform/com/dispatch_object.h"
#include "runtime/bridge.h"

namespace {

constexpr VARTYPE kSumParams[] = {VT_R8, VT_R8};
constexpr DispatchMember kAdderMembers[] = {
    {.name = u"Sum", .id = 1, .type = VT_R8, .params = kSumParams},
};
constexpr CLSID kAdderClsid{
    0x5EB1D0F0, 0x1F2A, 0x4C3B, {0x9D, 0x4E, 0x5F, 0x60, 0x71, 0x82, 0x93, 0xA4}};

class Adder : public DispatchObject {
 public:
  Adder() : DispatchObject(kAdderMembers) {}

 protected:
  HRESULT invoke_member(const DispatchMember&, const DispatchCall& call) override {
    double a = 0, b = 0;
    if (FAILED(call.get_double(0, &a)) || FAILED(call.get_double(1, &b)))
      return DISP_E_TYPEMISMATCH;
    return call.return_double(a + b);
  }
};

HRESULT create_adder(IUnknown** instance) {
  *instance = static_cast<IDispatch*>(new Adder);
  return S_OK;
}

// The baseline: the same work behind an ordinary virtual call.
class DirectAdder {
 public:
  virtual ~DirectAdder() = default;
  virtual double sum(double a, double b) const { return a + b; }
};

void BM_LateBoundCallTwoArguments(benchmark::State& state) {
  register_class(u"Bench.Adder", kAdderClsid, create_adder);
  CoInitialize(nullptr);
  {
    AutomationObject adder;
    if (!object_create(adder, "Bench.Adder")) state.SkipWithError("Bench.Adder not created");
    double a = 1.5;
    for (auto _ : state) {
      const TypedArg args[] = {adder.arg(), TypedArg::text("Sum"), TypedArg::float64(a),
                               TypedArg::float64(2.5)};
      double total = call_method_number(args);
      benchmark::DoNotOptimize(total);
      benchmark::DoNotOptimize(a);
    }
  }
  CoUninitialize();
}
BENCHMARK(BM_LateBoundCallTwoArguments);

void BM_DirectVirtualCallTwoArguments(benchmark::State& state) {
  DirectAdder concrete;
  DirectAdder* adder = &concrete;
  benchmark::DoNotOptimize(adder);
  double a = 1.5;
  for (auto _ : state) {
    double total = adder->sum(a, 2.5);
    benchmark::DoNotOptimize(total);
    benchmark::DoNotOptimize(a);
  }
}
BENCHMARK(BM_DirectVirtualCallTwoArguments);

}  // namespace

BENCHMARK_MAIN();

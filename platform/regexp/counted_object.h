// The base of every object the regular-expression component hands out: a DispatchObject that
// counts the live instances, so that a reference left behind shows.
#pragma once

#include <cstdint>
#include <span>

#include "platform/com/dispatch_object.h"

class CountedDispatchObject : public DispatchObject {
 public:
  explicit CountedDispatchObject(std::span<const DispatchMember> members,
                                 ClassCreateFunction create = nullptr)
      : DispatchObject(members, create) {
    ++live_;
  }
  ~CountedDispatchObject() override { --live_; }

  [[nodiscard]] static std::int32_t live() { return live_; }

 private:
  inline static std::int32_t live_ = 0;
};

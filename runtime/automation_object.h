// AutomationObject: the holder of one automation component instance.
//
// The holder is a heap block of two fields, `iface` (the instance, one reference owned; null for
// an empty holder) and `last_result` (the result code of the last bridge call made through it).
// Bridge commands receive the block itself as an object TypedArg. In C++ the block is owned by a
// move-only AutomationObject, which releases the instance and frees the block when it ends.
#pragma once

#include <utility>

#include "platform/com/unknown.h"
#include "runtime/runtime.h"

class AutomationObject {
 public:
  struct Block {
    IUnknown* iface;
    HRESULT last_result;
  };

  // A new empty holder: a zero-filled block.
  AutomationObject();
  AutomationObject(AutomationObject&& other) noexcept
      : block_(std::exchange(other.block_, nullptr)) {}
  AutomationObject& operator=(AutomationObject&& other) noexcept;
  AutomationObject(const AutomationObject&) = delete;
  AutomationObject& operator=(const AutomationObject&) = delete;
  ~AutomationObject();

  // The block; null only after a move.
  [[nodiscard]] Block* block() const noexcept { return block_; }
  [[nodiscard]] IUnknown* iface() const noexcept { return block_ ? block_->iface : nullptr; }
  [[nodiscard]] HRESULT last_result() const noexcept { return block_ ? block_->last_result : 0; }
  [[nodiscard]] bool empty() const noexcept { return iface() == nullptr; }

  // The holder as an object argument, and the variable that holds it as a by-reference one.
  [[nodiscard]] TypedArg arg() const { return TypedArg::with_pointer(TypeCode::object, block_); }
  [[nodiscard]] TypedArg ref() { return TypedArg::reference(TypeCode::object, &block_); }

 private:
  Block* block_;
};

// Releases the instance of a holder block (when any) and frees the block; ignores null.
void free_automation_block(AutomationObject::Block* block);

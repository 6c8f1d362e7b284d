// ObjectOwner: the one owner of a class object, the block from mem_alloc whose first word points at
// its class's table of operations (slot 0 destroy, slot 1 clone, then the class's methods).
//
// The owner is the variable that declares the object: it ends the object by running destroy
// through the table and freeing the block, and it hands every method the address of itself, the
// variable, as the table's methods expect. Move-only; null is the empty owner, on which every
// method gives its result for "no object" and runs nothing.
//
// A class declares itself by deriving from ObjectOwner<Itself, Block>, inheriting the adopting
// constructor, building its block in its default constructor and reaching its table through call:
//
//   class RegexObject : public ObjectOwner<RegexObject, RegexObjectBlock> {
//    public:
//     using ObjectOwner::ObjectOwner;
//     RegexObject() : ObjectOwner(regex_object_new()) {}
//     std::int32_t match_count() { return call(&Operations::match_count); }
//   };
#pragma once

#include <concepts>
#include <type_traits>
#include <utility>

#include "runtime/memory.h"

// A block whose first field `operations` points at a table with destroy and clone in front.
template <class Block>
concept ClassObjectBlock = requires(Block* object) {
  object->operations->destroy(object);
  { object->operations->clone(object) } -> std::same_as<Block*>;
};

template <class Self, ClassObjectBlock Block>
class ObjectOwner {
 public:
  using Operations = std::remove_const_t<std::remove_pointer_t<decltype(Block::operations)>>;
  // A method of the table: it receives the variable, then its parameters.
  template <class Result, class... Parameters>
  using Method = Result (*Operations::*)(Block**, Parameters...);
  // What the owner's method gives for what the table's method returns: a returned object comes
  // with its own owner, anything else as it is.
  template <class Result>
  using Returned = std::conditional_t<std::is_same_v<Result, Block*>, Self, Result>;

  // Takes ownership of `object`, a block with its table set (null: the empty owner).
  constexpr explicit ObjectOwner(Block* object) noexcept : object_(object) {}
  [[nodiscard]] static Self adopt(Block* object) noexcept { return Self(object); }

  ObjectOwner(ObjectOwner&& other) noexcept : object_(other.release()) {}
  ObjectOwner& operator=(ObjectOwner&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ObjectOwner(const ObjectOwner&) = delete;
  ObjectOwner& operator=(const ObjectOwner&) = delete;
  ~ObjectOwner() { reset(); }

  // A new object from the table's clone, with its own owner; empty for the empty owner.
  [[nodiscard]] Self clone() const {
    return adopt(object_ != nullptr ? object_->operations->clone(object_) : nullptr);
  }

  [[nodiscard]] Block* get() const noexcept { return object_; }
  // The variable itself, as the table's methods receive it.
  [[nodiscard]] Block** variable() noexcept { return &object_; }
  [[nodiscard]] Block* release() noexcept { return std::exchange(object_, nullptr); }
  // Runs destroy through the table on the held object and frees its block, then holds `object`.
  void reset(Block* object = nullptr) noexcept {
    Block* old = std::exchange(object_, object);
    if (old == nullptr) return;
    old->operations->destroy(old);
    mem_free(old);
  }

 protected:
  // Runs `method` of the table with the variable and `arguments`. The empty owner runs nothing
  // and gives the value-initialised result (a returned object: the empty owner).
  template <class Result, class... Parameters, class... Arguments>
  Returned<Result> call(Method<Result, Parameters...> method, Arguments&&... arguments) {
    if constexpr (std::is_void_v<Result>) {
      if (object_ != nullptr) {
        (object_->operations->*method)(&object_, std::forward<Arguments>(arguments)...);
      }
    } else {
      return call_or(Result(), method, std::forward<Arguments>(arguments)...);
    }
  }

  // As call, with `no_object` the result of the empty owner.
  template <class Result, class... Parameters, class... Arguments>
  Returned<Result> call_or(std::type_identity_t<Result> no_object,
                           Method<Result, Parameters...> method, Arguments&&... arguments) {
    if (object_ == nullptr) return returned(std::move(no_object));
    return returned(
        (object_->operations->*method)(&object_, std::forward<Arguments>(arguments)...));
  }

 private:
  template <class Result>
  static Returned<Result> returned(Result result) {
    if constexpr (std::is_same_v<Result, Block*>) {
      return adopt(result);
    } else {
      return result;
    }
  }

  Block* object_ = nullptr;
};

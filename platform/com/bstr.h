// BSTR: the length-prefixed UTF-16 strings of OLE Automation.
//
// A BSTR points at the first character of a block laid out as: a 32-bit byte length (not counting
// the terminator), the characters, and a NUL character. Null is a valid BSTR and reads as the
// empty string. The blocks come from the C library's allocator (the platform's task allocator),
// not from the program's own heap.
#pragma once

#include <cstdint>
#include <utility>

using OLECHAR = char16_t;
using BSTR = OLECHAR*;

// SysAllocString: a new BSTR holding the NUL-terminated `text`; null for a null `text`.
BSTR SysAllocString(const OLECHAR* text);

// SysAllocStringLen: a new BSTR of `length` characters copied from `text` (which may hold NULs);
// with a null `text` the characters are zero. Null when the block cannot be allocated.
BSTR SysAllocStringLen(const OLECHAR* text, std::uint32_t length);

// SysStringLen: the character count from the length prefix; 0 for null.
std::uint32_t SysStringLen(BSTR text);

// SysStringByteLen: the byte count from the length prefix; 0 for null.
std::uint32_t SysStringByteLen(BSTR text);

// SysFreeString: releases a BSTR; ignores null.
void SysFreeString(BSTR text);

// An owned BSTR, freed with SysFreeString.
class UniqueBstr {
 public:
  UniqueBstr() noexcept = default;
  explicit UniqueBstr(BSTR text) noexcept : text_(text) {}
  UniqueBstr(UniqueBstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
  UniqueBstr& operator=(UniqueBstr&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  ~UniqueBstr() { SysFreeString(text_); }

  [[nodiscard]] BSTR get() const noexcept { return text_; }
  [[nodiscard]] BSTR release() noexcept { return std::exchange(text_, nullptr); }
  void reset(BSTR text = nullptr) noexcept { SysFreeString(std::exchange(text_, text)); }

 private:
  BSTR text_ = nullptr;
};

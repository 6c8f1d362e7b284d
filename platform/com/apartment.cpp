#include "platform/com/apartment.h"

namespace {
thread_local std::uint32_t entries = 0;
}

HRESULT CoInitialize(void*) {
  return entries++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (entries > 0) --entries;
}

std::uint32_t apartment_entries() {
  return entries;
}

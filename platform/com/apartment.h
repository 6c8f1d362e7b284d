// Stand-ins for CoInitialize and CoUninitialize: a per-thread apartment count.
//
// CoInitialize enters the calling thread's single-threaded apartment: S_OK for the first entry,
// S_FALSE for each further one. CoUninitialize leaves it once; a call without a matching entry
// does nothing. There is no real apartment behind the count: objects of this system live on the
// thread that created them.
#pragma once

#include <cstdint>

#include "platform/base/hresult.h"

HRESULT CoInitialize(void* reserved);
void CoUninitialize();

// How many times the calling thread has entered its apartment and not yet left it.
std::uint32_t apartment_entries();

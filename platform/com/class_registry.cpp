#include "platform/com/class_registry.h"

#include <string>
#include <vector>

#include "platform/base/ascii.h"
#include "platform/com/apartment.h"

namespace {

struct ClassEntry {
  std::u16string prog_id;
  CLSID clsid;
  ClassCreateFunction create;
};

std::vector<ClassEntry>& classes() {
  static std::vector<ClassEntry> table;
  return table;
}

const ClassEntry* find_by_prog_id(std::u16string_view prog_id) {
  for (const ClassEntry& entry : classes()) {
    if (ascii_equal_ignoring_case(entry.prog_id, prog_id)) return &entry;
  }
  return nullptr;
}

const ClassEntry* find_by_clsid(const CLSID& clsid) {
  for (const ClassEntry& entry : classes()) {
    if (entry.clsid == clsid) return &entry;
  }
  return nullptr;
}

}  // namespace

bool register_class(std::u16string_view prog_id, const CLSID& clsid, ClassCreateFunction create) {
  if (prog_id.empty() || create == nullptr) return false;
  if (find_by_prog_id(prog_id) != nullptr || find_by_clsid(clsid) != nullptr) return false;
  classes().push_back({std::u16string(prog_id), clsid, create});
  return true;
}

bool unregister_class(const CLSID& clsid) {
  auto& table = classes();
  for (auto it = table.begin(); it != table.end(); ++it) {
    if (it->clsid == clsid) {
      table.erase(it);
      return true;
    }
  }
  return false;
}

/* CLSIDFromProgID: see the header for the one deviation in its failure code. */
HRESULT CLSIDFromProgID(const OLECHAR* prog_id, CLSID* clsid) {
  if (prog_id == nullptr || clsid == nullptr) return E_INVALIDARG;
  const ClassEntry* entry = find_by_prog_id(prog_id);
  if (entry == nullptr) return REGDB_E_CLASSNOTREG;
  *clsid = entry->clsid;
  return S_OK;
}

/* CLSIDFromString: contract as the platform's. */
HRESULT CLSIDFromString(const OLECHAR* text, CLSID* clsid) {
  if (clsid == nullptr) return E_INVALIDARG;
  if (text == nullptr) {
    *clsid = CLSID_NULL;
    return S_OK;
  }
  if (parse_guid_text(text, clsid)) return S_OK;
  const ClassEntry* entry = find_by_prog_id(text);
  if (entry == nullptr) return CO_E_CLASSSTRING;
  *clsid = entry->clsid;
  return S_OK;
}

/* CoCreateInstance: contract as the platform's for in-process servers; no remote activation. */
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::uint32_t context, REFIID iid,
                         void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (apartment_entries() == 0) return CO_E_NOTINITIALIZED;
  constexpr std::uint32_t kLocalContexts =
      CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER;
  if ((context & ~kLocalContexts) != 0) return E_INVALIDARG;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  const ClassEntry* entry = find_by_clsid(clsid);
  if (entry == nullptr || (context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  IUnknown* instance = nullptr;
  const HRESULT created = entry->create(&instance);
  if (FAILED(created)) return created;
  if (instance == nullptr) return E_UNEXPECTED;
  const HRESULT asked = instance->QueryInterface(iid, object);
  instance->Release();
  return asked;
}

/* OleRun: in-process objects are running already. */
HRESULT OleRun(IUnknown* object) {
  return object == nullptr ? E_INVALIDARG : S_OK;
}

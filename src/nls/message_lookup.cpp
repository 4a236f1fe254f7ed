#include "nls/message_lookup.h"

#include <filesystem>
#include <mutex>
#include <system_error>

#include "nls/locale.h"
#include "nls/res_bundle.h"

#ifndef CFGOUT_MESSAGE_DIR_DEFAULT
#error "CFGOUT_MESSAGE_DIR_DEFAULT must name the installed message directory"
#endif

namespace cfgout {

namespace {

struct ResBundleSlot {
  const char* name;
  int prime;
  ResBundle* bundle;
  int refCount;
  int loadCount;
  int openCount;  // observation only: how often the open was tried
};

constexpr ResBundleSlot kInitialSlots[kNlsSlotCount] = {
    {"cacheagt", 0, nullptr, 0, 0, 0}, {"config", 0, nullptr, 0, 0, 0},
    {"HTMLForm", 0, nullptr, 0, 0, 0}, {"htmlprox", 0, nullptr, 0, 0, 0},
    {"kzoproxy", 0, nullptr, 0, 0, 0}, {"kzohtc", 1, nullptr, 0, 0, 0},
    {"kzocp", 1, nullptr, 0, 0, 0},
};

// The slot table is meant for one thread; the lock only keeps a stray second
// caller from corrupting it. Bundles have their own lock for lookups.
struct SlotTable {
  std::mutex lock;
  ResBundleSlot ResBundleData[kNlsSlotCount];
  std::string directory = CFGOUT_MESSAGE_DIR_DEFAULT;

  SlotTable() {
    for (int i = 0; i < kNlsSlotCount; ++i) ResBundleData[i] = kInitialSlots[i];
  }
};

// Bundle texts are handed out for the life of the process, so the table is
// never torn down.
SlotTable& Table() {
  static SlotTable* table = new SlotTable;
  return *table;
}

bool ValidSlot(int slot) { return slot >= 0 && slot < kNlsSlotCount; }

// Steps shared by both loads once the slot has no bundle: a slot is opened
// at most once per process, and a failed open is never retried. Lock held.
bool LoadEmptySlot(SlotTable& table, ResBundleSlot& slot, const char* locale) {
  if (++slot.loadCount > 1) return false;
  ++slot.openCount;
  ResBundle* bundle = ResBundle_LoadSpecific(locale, table.directory.c_str(), slot.name);
  if (bundle == nullptr) return false;
  if (slot.prime == 1) ResBundle_Prime(bundle);
  slot.bundle = bundle;
  ++slot.refCount;
  return true;
}

}  // namespace

int nlsLoadResources(int slot, const char* locale) {
  if (!ValidSlot(slot)) return 0;
  SlotTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  ResBundleSlot& row = table.ResBundleData[slot];
  if (row.bundle != nullptr) {
    ++row.refCount;
    return 1;
  }
  return LoadEmptySlot(table, row, locale) ? 1 : 0;
}

int nlsLoadResources(int slot, const Locale* locale) {
  return nlsLoadResources(slot, locale != nullptr ? locale->name.c_str() : nullptr);
}

const char* nlsGetString(int slot, int set, int id, const char* defaultText) {
  if (!ValidSlot(slot)) return defaultText;
  SlotTable& table = Table();
  ResBundle* bundle;
  {
    std::lock_guard<std::mutex> guard(table.lock);
    ResBundleSlot& row = table.ResBundleData[slot];
    if (row.bundle == nullptr && !LoadEmptySlot(table, row, nullptr)) return defaultText;
    bundle = row.bundle;
  }
  return ResBundle_ExtractWithDefault(bundle, set, id, defaultText);
}

void nlsFreeResources(int slot) {
  if (!ValidSlot(slot)) return;
  SlotTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  ResBundleSlot& row = table.ResBundleData[slot];
  if (row.bundle == nullptr) return;
  if (--row.refCount <= 0) {
    ResBundle_Destroy(row.bundle);
    row.bundle = nullptr;
    row.refCount = 0;
  }
}

void nlsSetMessageDirectory(std::string_view directory) {
  // ICU takes a bundle path that is neither absolute nor starts with "." for
  // a name inside its own data, so a relative folder is made absolute here.
  std::string path(directory);
  if (!path.empty() && path.front() != '/') {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (!ec) path = absolute.string();
  }
  SlotTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  table.directory = std::move(path);
}

std::string nlsGetMessageDirectory() {
  SlotTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  return table.directory;
}

NlsSlotInfo nlsGetSlotInfo(int slot) {
  if (!ValidSlot(slot)) return NlsSlotInfo{nullptr, 0, false, 0, 0, 0, false, nullptr};
  SlotTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  const ResBundleSlot& row = table.ResBundleData[slot];
  return NlsSlotInfo{row.name, row.prime, row.bundle != nullptr, row.refCount, row.loadCount, row.openCount,
                     row.bundle != nullptr && row.bundle->primed.load() != 0,
                     row.bundle != nullptr ? row.bundle->converterName.c_str() : nullptr};
}

void nlsResetForTesting() {
  SlotTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  for (int i = 0; i < kNlsSlotCount; ++i) {
    ResBundle_Destroy(table.ResBundleData[i].bundle);
    table.ResBundleData[i] = kInitialSlots[i];
  }
}

}  // namespace cfgout

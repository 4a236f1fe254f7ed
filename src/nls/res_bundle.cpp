#include "nls/res_bundle.h"

#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>

#include "nls/locale.h"

namespace cfgout {

namespace {

constexpr int kForcedEncodingMax = 127;

// Holds the bundle lock unless the bundle was primed when the guard began.
class LookupGuard {
 public:
  explicit LookupGuard(ResBundle* bundle)
      : bundle_(bundle), locked_(bundle->primed.load(std::memory_order_acquire) == 0) {
    if (locked_) pmutex_request(bundle_->lock);
  }
  ~LookupGuard() {
    if (locked_) pmutex_release(bundle_->lock);
  }
  LookupGuard(const LookupGuard&) = delete;
  LookupGuard& operator=(const LookupGuard&) = delete;

 private:
  ResBundle* bundle_;
  bool locked_;
};

ResBundleElement* FindCached(ResBundle* bundle, int set, int id) {
  ResBundleElement key{set, id, nullptr, nullptr};
  return static_cast<ResBundleElement*>(StrongHash_FindObject(bundle->cache, &key));
}

// Block size for an element: the heap hands out (n & ~3) + 4 bytes, so asking
// for a multiple of 8 minus 4 keeps every element aligned for its pointers.
std::size_t ElementRequest(std::size_t bytes) {
  std::size_t rounded = (bytes + 7) / 8 * 8;
  return rounded - 4;
}

// Converts and stores one message. The caller holds the lock (or owns the
// bundle alone). 0 when out of heap or the text cannot be converted.
int InsertLocked(ResBundle* bundle, int set, int id, const UChar* unicodeText, int32_t length) {
  if (unicodeText == nullptr) return 0;
  if (length < 0) length = u_strlen(unicodeText);
  // A number the catalogue skips is no message: its built-in text applies.
  if (length == 1 && unicodeText[0] == kCatalogueGapMark) return 0;
  // To UTF-8 the string functions convert as the converter does (an
  // unpaired surrogate becomes U+FFFD, the converter's substitute) at a
  // fraction of its cost; template lines are converted on every request.
  auto convert = [bundle, unicodeText, length](char* out, int32_t capacity, UErrorCode* status) {
    if (!bundle->utf8) return ucnv_fromUChars(bundle->converter, out, capacity, unicodeText, length, status);
    int32_t written = 0;
    u_strToUTF8WithSub(out, capacity, &written, unicodeText, length, 0xFFFD, nullptr, status);
    return written;
  };
  // One pass into a buffer on the stack for texts that fit it (all template
  // lines); longer ones are measured first.
  char shortText[4096];
  UErrorCode status = U_ZERO_ERROR;
  int32_t converted = convert(shortText, sizeof shortText, &status);
  const bool inShortText = U_SUCCESS(status) && status != U_STRING_NOT_TERMINATED_WARNING;
  if (!inShortText) {
    status = U_ZERO_ERROR;
    converted = convert(nullptr, 0, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return 0;
  }
  if (converted < 0) return 0;

  const std::size_t unicodeBytes = (static_cast<std::size_t>(length) + 1) * sizeof(UChar);
  const std::size_t textBytes = static_cast<std::size_t>(converted) + 1;
  const std::size_t total = sizeof(ResBundleElement) + unicodeBytes + textBytes;
  auto* raw = static_cast<unsigned char*>(GarbageHeap_Alloc(bundle->heap, ElementRequest(total)));
  if (raw == nullptr) return 0;

  auto* element = ::new (raw) ResBundleElement{set, id, nullptr, nullptr};
  element->unicodeText = reinterpret_cast<UChar*>(raw + sizeof(ResBundleElement));
  u_memcpy(element->unicodeText, unicodeText, length);
  element->unicodeText[length] = 0;
  element->text = reinterpret_cast<char*>(raw + sizeof(ResBundleElement) + unicodeBytes);

  if (inShortText) {
    std::memcpy(element->text, shortText, static_cast<std::size_t>(converted));
  } else {
    status = U_ZERO_ERROR;
    const int32_t written = convert(element->text, converted + 1, &status);
    if (U_FAILURE(status) || written != converted) return 0;  // the block stays unused
  }
  element->text[converted] = '\0';
  return StrongHash_Insert(bundle->cache, element);
}

// Reads (set, id) from ICU into the cache. Lock held.
void ReadIntoCache(ResBundle* bundle, int set, int id) {
  if (id < 1) return;
  UErrorCode status = U_ZERO_ERROR;
  if (bundle->lastSet == nullptr || bundle->lastSetNumber != set) {
    if (bundle->lastSet != nullptr) ures_close(bundle->lastSet);
    bundle->lastSet = nullptr;
    const std::string key = std::to_string(set);
    UResourceBundle* setResource = ures_getByKey(bundle->resource, key.c_str(), nullptr, &status);
    if (U_FAILURE(status)) {
      ures_close(setResource);
      return;
    }
    bundle->lastSet = setResource;
    bundle->lastSetNumber = set;
  }
  int32_t length = 0;
  const UChar* text = ures_getStringByIndex(bundle->lastSet, id - 1, &length, &status);
  if (U_SUCCESS(status) && text != nullptr) InsertLocked(bundle, set, id, text, length);
}

ResBundleElement* Lookup(ResBundle* bundle, int set, int id) {
  if (bundle == nullptr) return nullptr;
  LookupGuard guard(bundle);
  if (ResBundleElement* found = FindCached(bundle, set, id)) return found;
  if (bundle->primed.load(std::memory_order_acquire) != 0) return nullptr;
  ReadIntoCache(bundle, set, id);
  return FindCached(bundle, set, id);
}

std::string ConverterFor(UResourceBundle* resource, const char* locale, UErrorCode openStatus) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  const UChar* forced = ures_getStringByKey(resource, "force_encoding", &length, &status);
  if (U_SUCCESS(status) && forced != nullptr) {
    if (length > kForcedEncodingMax) length = kForcedEncodingMax;
    char name[kForcedEncodingMax + 1] = {};
    u_UCharsToChars(forced, name, length);
    return std::string(name, static_cast<std::size_t>(length));
  }
  std::string converter;
  if (openStatus == U_USING_DEFAULT_WARNING) {
    status = U_ZERO_ERROR;
    const char* actual = ures_getLocaleByType(resource, ULOC_ACTUAL_LOCALE, &status);
    Locale_GetDefaultCodeset(U_SUCCESS(status) ? actual : locale, converter);
  } else {
    Locale_GetDefaultCodeset(locale, converter);
  }
  return converter;
}

void FreeParts(ResBundle* bundle) {
  StrongHash_Destroy(bundle->cache);
  GarbageHeap_Destroy(bundle->heap);
  pmutex_destroy(bundle->lock);
  if (bundle->converter != nullptr) ucnv_close(bundle->converter);
  if (bundle->lastSet != nullptr) ures_close(bundle->lastSet);
  if (bundle->resource != nullptr) ures_close(bundle->resource);
}

}  // namespace

int ResBundle_Compare(const void* object, const void* key) {
  const auto* a = static_cast<const ResBundleElement*>(object);
  const auto* b = static_cast<const ResBundleElement*>(key);
  return a->set == b->set && a->id == b->id ? 0 : 1;
}

unsigned ResBundle_Hash(unsigned bucketCount, const void* object) {
  const auto* element = static_cast<const ResBundleElement*>(object);
  const std::int64_t buckets = bucketCount;
  const std::int64_t value = (buckets / 5) * element->set + element->id;
  const std::int64_t bucket = ((value % buckets) + buckets) % buckets;
  return static_cast<unsigned>(bucket);
}

UResourceBundle* ResBundle_LoadCatalog(const char* locale, const char* directory,
                                       const char* name, UErrorCode* status) {
  std::string path = directory != nullptr ? directory : "";
  if (!path.empty() && path.back() != '/') path += '/';
  path += name != nullptr ? name : "";
  UResourceBundle* resource = ures_open(path.c_str(), locale, status);
  if (U_FAILURE(*status)) {
    ures_close(resource);
    return nullptr;
  }
  return resource;
}

ResBundle* ResBundle_LoadSpecific(const char* locale, const char* directory, const char* name) {
  if (directory == nullptr || *directory == '\0') return nullptr;
  const char* requested = locale != nullptr ? locale : uloc_getDefault();
  UErrorCode openStatus = U_ZERO_ERROR;
  UResourceBundle* resource = ResBundle_LoadCatalog(requested, directory, name, &openStatus);
  if (resource == nullptr) return nullptr;

  auto bundle = std::unique_ptr<ResBundle>(new (std::nothrow) ResBundle);
  if (bundle == nullptr) {
    ures_close(resource);
    return nullptr;
  }
  bundle->resource = resource;
  bundle->converterName = ConverterFor(resource, requested, openStatus);

  UErrorCode status = U_ZERO_ERROR;
  bundle->converter = ucnv_open(bundle->converterName.c_str(), &status);
  if (U_FAILURE(status) || bundle->converter == nullptr) {
    FreeParts(bundle.get());
    return nullptr;
  }
  bundle->utf8 = ucnv_getType(bundle->converter) == UCNV_UTF8;
  bundle->lock = pmutex_create();
  bundle->heap = GarbageHeap_Create(kResBundleHeapChunk);
  bundle->cache = StrongHash_Create(kResBundleBuckets, ResBundle_Compare, ResBundle_Hash, 0);
  if (bundle->lock == nullptr || bundle->heap == nullptr || bundle->cache == nullptr) {
    FreeParts(bundle.get());
    return nullptr;
  }
  StrongHash_SetFreelistLength(bundle->cache, kResBundleFreeNodes);
  StrongHash_Preallocate(bundle->cache);
  return bundle.release();
}

ResBundle* ResBundle_Load(const char* directory, const char* name) {
  return ResBundle_LoadSpecific(nullptr, directory, name);
}

void ResBundle_Destroy(ResBundle* bundle) {
  if (bundle == nullptr) return;
  FreeParts(bundle);
  delete bundle;
}

void ResBundle_Prime(ResBundle* bundle) {
  if (bundle == nullptr) return;
  pmutex_request(bundle->lock);
  if (bundle->primed.load(std::memory_order_acquire) == 0) {
    ures_resetIterator(bundle->resource);
    while (ures_hasNext(bundle->resource)) {
      UErrorCode status = U_ZERO_ERROR;
      UResourceBundle* item = ures_getNextResource(bundle->resource, nullptr, &status);
      if (U_FAILURE(status)) {
        ures_close(item);
        continue;
      }
      const char* key = ures_getKey(item);
      const int set = key != nullptr ? std::atoi(key) : 0;
      const UResType type = ures_getType(item);
      if (type == URES_ARRAY) {
        const int32_t size = ures_getSize(item);
        for (int32_t i = 0; i < size; ++i) {
          UErrorCode itemStatus = U_ZERO_ERROR;
          int32_t length = 0;
          const UChar* text = ures_getStringByIndex(item, i, &length, &itemStatus);
          if (U_FAILURE(itemStatus) || text == nullptr) continue;
          if (FindCached(bundle, set, i + 1) == nullptr) InsertLocked(bundle, set, i + 1, text, length);
        }
      } else if (type == URES_STRING) {
        int32_t length = 0;
        const UChar* text = ures_getString(item, &length, &status);
        if (U_SUCCESS(status) && text != nullptr && FindCached(bundle, set, 1) == nullptr) {
          InsertLocked(bundle, set, 1, text, length);
        }
      }
      ures_close(item);
    }
    bundle->primed.store(1, std::memory_order_release);
  }
  pmutex_release(bundle->lock);
}

int ResBundle_Insert(ResBundle* bundle, int set, int id, const UChar* unicodeText) {
  if (bundle == nullptr) return 0;
  pmutex_request(bundle->lock);
  int result = InsertLocked(bundle, set, id, unicodeText, -1);
  pmutex_release(bundle->lock);
  return result;
}

ResBundleElement* ResBundle_ExtractHashElement(ResBundle* bundle, int set, int id) {
  return Lookup(bundle, set, id);
}

const char* ResBundle_Extract(ResBundle* bundle, int set, int id) {
  ResBundleElement* element = Lookup(bundle, set, id);
  return element != nullptr ? element->text : nullptr;
}

const UChar* ResBundle_ExtractUnicode(ResBundle* bundle, int set, int id) {
  ResBundleElement* element = Lookup(bundle, set, id);
  return element != nullptr ? element->unicodeText : nullptr;
}

const char* ResBundle_ExtractWithDefault(ResBundle* bundle, int set, int id, const char* defaultText) {
  const char* text = ResBundle_Extract(bundle, set, id);
  return text != nullptr ? text : defaultText;
}

const UChar* ResBundle_ExtractUnicodeWithDefault(ResBundle* bundle, int set, int id,
                                                 const UChar* defaultText) {
  const UChar* text = ResBundle_ExtractUnicode(bundle, set, id);
  return text != nullptr ? text : defaultText;
}

}  // namespace cfgout

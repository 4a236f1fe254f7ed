#pragma once
// A loaded message bundle: an ICU resource bundle opened for one locale, the
// ICU converter that turns its UTF-16 strings into the output code page, and
// a cache holding every message already converted. Each (set, id) is read and
// converted once; the text pointers handed out stay valid until the bundle
// is destroyed.
//
// Keys: message set s is the top-level resource named by s in decimal; its
// value is an array of strings, message id n being element n - 1.

#include <unicode/ucnv.h>
#include <unicode/ures.h>

#include <atomic>
#include <string>

#include "runtime/garbage_heap.h"
#include "runtime/strong_hash.h"
#include "runtime/threading.h"

namespace cfgout {

// The text the bundle compiler stores for a catalogue number that no line
// defines: a lookup of it finds no message (and so gives the default text).
inline constexpr UChar kCatalogueGapMark = 0xFFFF;

// One cached message, allocated in one piece from the bundle's heap: these
// fields, then the UTF-16 copy, then the converted copy (both terminated).
struct ResBundleElement {
  int set;
  int id;
  UChar* unicodeText;
  char* text;
};

inline constexpr unsigned kResBundleBuckets = 256;
inline constexpr std::size_t kResBundleFreeNodes = 512;
inline constexpr std::size_t kResBundleHeapChunk = 128000;

struct ResBundle {
  UResourceBundle* resource = nullptr;
  UConverter* converter = nullptr;
  std::string converterName;
  bool utf8 = false;  // the converter writes UTF-8: texts are converted without it
  // The set read last, kept open for the next message of the same set
  // (a template is read line by line). Lock held while used.
  UResourceBundle* lastSet = nullptr;
  int lastSetNumber = 0;
  pmutex* lock = nullptr;  // serialises lookups and inserts until primed
  StrongHash* cache = nullptr;
  GarbageHeap* heap = nullptr;
  std::atomic<int> primed{0};  // 1 once the whole bundle is in the cache
};

// Opens "<directory>/<name>" (no slash added when `directory` is empty or
// ends in one) for `locale`; the ICU bundle, or null when ICU reports a
// failure. `status` receives ICU's code (warnings included).
UResourceBundle* ResBundle_LoadCatalog(const char* locale, const char* directory,
                                       const char* name, UErrorCode* status);

// A new bundle for `locale` (null: ICU's default locale), or null when the
// directory is null or empty, the bundle cannot be opened or its converter
// cannot be made. Converter: the bundle's "force_encoding" string when it has
// one; otherwise the code page of the requested locale, or of the locale the
// bundle really has when ICU fell back to its default locale.
ResBundle* ResBundle_LoadSpecific(const char* locale, const char* directory, const char* name);
ResBundle* ResBundle_Load(const char* directory, const char* name);

void ResBundle_Destroy(ResBundle* bundle);

// Reads every message of the bundle into the cache; afterwards lookups take
// no lock and never ask ICU. A top-level string outside any array is stored
// as message 1 of its set, where a lookup of an unprimed bundle finds it too.
void ResBundle_Prime(ResBundle* bundle);

// Adds a message (converted on the way) under the bundle's lock; the cache's
// insert result, 0 when the heap is exhausted or the text cannot be
// converted. Not for bundles that other threads read after priming.
int ResBundle_Insert(ResBundle* bundle, int set, int id, const UChar* unicodeText);

// The cached element of (set, id), reading it from the bundle on first use;
// null when the bundle has no such message.
ResBundleElement* ResBundle_ExtractHashElement(ResBundle* bundle, int set, int id);
const char* ResBundle_Extract(ResBundle* bundle, int set, int id);
const UChar* ResBundle_ExtractUnicode(ResBundle* bundle, int set, int id);
const char* ResBundle_ExtractWithDefault(ResBundle* bundle, int set, int id,
                                         const char* defaultText);
const UChar* ResBundle_ExtractUnicodeWithDefault(ResBundle* bundle, int set, int id,
                                                 const UChar* defaultText);

// Cache functions: equal when set and id are; bucket
// ((buckets / 5) * set + id) mod buckets.
int ResBundle_Compare(const void* object, const void* key);
unsigned ResBundle_Hash(unsigned bucketCount, const void* object);

}  // namespace cfgout

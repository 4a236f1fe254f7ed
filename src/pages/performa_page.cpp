#include "pages/performa_page.h"

#include <cstdint>
#include <memory>
#include <string>

#include "html/form_controls.h"
#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "pages/directive_excerpt.h"
#include "pages/form_fields.h"
#include "pages/timeout_page.h"

namespace cfgout {

namespace {

// Form-variable codes of the page's fields.
constexpr int kFieldListenBacklog = 4880;
constexpr int kFieldMaxActiveThreads = 2470;
constexpr int kFieldMaxPersistRequest = 2490;
constexpr int kFieldPersistHours = 4850;
constexpr int kFieldPersistMinutes = 4860;
constexpr int kFieldPersistSeconds = 4870;

}  // namespace

int PerformaDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& config) {
  const std::unique_ptr<ConfigHandle> shown =
      DirectiveExcerpt(config, {"ListenBacklog", "MaxActiveThreads", "PersistTimeout", "MaxPersistRequest"});
  const ConfigHandle& cfg = *shown;
  const TimeSpanShown persist = ReadTimeSpan(cfg, "PersistTimeout");
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenTextField(line, "ListenBacklog", 2, 0, "128", cfg); break;
      case 1: GenTextField(line, "MaxActiveThreads", 2, 0, "100", cfg); break;
      case 2:
      case 3:
      case 4: GenTimeSpanOptions(line, marker - 2, persist); break;
      case 5: GenTextField(line, "MaxPersistRequest", 2, 0, "5", cfg); break;
      case 6: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int PerformaOutputHandler(const FormArgList& args, PageStatus& status, int limitActiveThreads,
                          int maxActiveThreadsLimit, ConfigHandle& cfg) {
  BeginOutputHandler(status);

  TimeSpanFields persist;
  const bool walked = WalkFormFields(args, status, [&](const FormArg& field, int code) {
    const std::string_view value = FieldValue(field);
    switch (code) {
      case kFieldListenBacklog:
      case kFieldMaxPersistRequest: ApplyDirectiveField(cfg, field); break;
      case kFieldMaxActiveThreads: {
        if (value.empty()) break;
        if (limitActiveThreads == 0 || AtoiSaturated(value) <= maxActiveThreadsLimit) {
          ApplyDirectiveField(cfg, field);
          break;
        }
        // Above the product's cap: the cap is written, and the page says so
        // while the change still counts as done.
        ReplaceDirective(cfg, field.name,
                         FormatText("%s       %d\n", {std::string_view(field.name), std::int64_t{maxActiveThreadsLimit}}));
        SetStatusMessage(status, kStatusWarning,
                         FormatText(ConfigMessage(kMsgThreadsCapped),
                                    {std::int64_t{maxActiveThreadsLimit}}));
        break;
      }
      case kFieldPersistHours:
        if (!value.empty()) persist.hours = std::string(value);
        break;
      case kFieldPersistMinutes:
        if (!value.empty()) persist.minutes = std::string(value);
        break;
      case kFieldPersistSeconds:
        if (!value.empty()) persist.seconds = std::string(value);
        break;
      default: break;
    }
  });
  if (!walked) return 0;

  ApplyTimeSpan(cfg, "PersistTimeout", "PersistTimeout       %s\n", persist);
  return 0;
}

}  // namespace cfgout

#pragma once
// The page status block: one per request, owned by main and handed by
// reference to every output handler, display handler and to
// GenHeraldAppletParms, which prints it into the page's status applet.
//
// Handlers only ever change it. All texts are owned by the block and held
// raw (not HTML-escaped): GenHeraldAppletParms escapes every field where it
// prints it. Catalogue messages therefore must not carry markup, and a handler
// may put any dynamic text (a field value, a page name) into messageText.

#include <optional>
#include <string>
#include <string_view>

namespace cfgout {

// Values of PageStatus::messageType.
inline constexpr std::string_view kStatusReady = "0";
inline constexpr std::string_view kStatusDone = "1";
inline constexpr std::string_view kStatusWarning = "2";
inline constexpr std::string_view kStatusError = "3";

struct PageStatus {
  // 1 = go on / write the configuration back; anything else = failed. main
  // writes back only when this is exactly 1 after an output handler.
  int success = 1;
  // The validation message of the first rejected field. While it holds a
  // value, an output handler processes no further fields.
  std::optional<std::string> fieldError;
  // The status message shown on the page.
  std::string messageText;
  // "0" ready, "1" carried out, "2" carried out with a warning, "3" error.
  std::string messageType{kStatusReady};
  // Help page name, e.g. "HLPBASIC"; empty optional = none (its applet
  // parameter line is then left out).
  std::optional<std::string> helpPage;
  // Second help page name (protection pages); empty optional = none.
  std::optional<std::string> helpTopic;
  // Printed as "true" (non-zero) or "false".
  int appletFlag = 0;
  // A further applet parameter; empty optional = none (line left out).
  std::optional<std::string> appletExtra;
};

// The block as main sets it up before anything else happens: success 1, no
// field error, message 11 "Ready", type "0", no help pages, flag 0.
PageStatus MakeInitialPageStatus();
void InitPageStatus(PageStatus& status);

// What every output handler does on entry: no field error, type "1",
// message 12 "The requested configuration changes have been completed
// successfully.", success 1. Help page fields are left as they are.
void BeginOutputHandler(PageStatus& status);

// A rejected form field: fieldError and messageText become `message` (what
// ValidateField returned), type "3", success 0. The caller stops processing
// fields afterwards (fieldError now holds a value).
void RejectField(PageStatus& status, std::string message);

// True once a field has been rejected.
inline bool HasFieldError(const PageStatus& status) { return status.fieldError.has_value(); }

// Sets type and message together, leaving success and the other fields alone
// (main's environment errors, write-back failures, warnings).
void SetStatusMessage(PageStatus& status, std::string_view type, std::string message);

// An error: type "3", the message, and success 0.
void FailStatus(PageStatus& status, std::string message);

}  // namespace cfgout

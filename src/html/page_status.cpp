#include "html/page_status.h"

#include <utility>

#include "nls/message_lookup.h"

namespace cfgout {

// messageType is set with assign(data, size): assigning a string_view
// directly trips a false -Wrestrict warning of GCC 12 at -O3.

PageStatus MakeInitialPageStatus() {
  PageStatus status;
  InitPageStatus(status);
  return status;
}

void InitPageStatus(PageStatus& status) {
  status.success = 1;
  status.fieldError.reset();
  status.messageText = ConfigMessage(kMsgStatusReady);
  // Through a temporary: assigning the string_view itself trips GCC 12's
  // -Wrestrict false positive at -O3 (release builds).
  status.messageType = std::string(kStatusReady);
  status.helpPage.reset();
  status.helpTopic.reset();
  status.appletFlag = 0;
  status.appletExtra.reset();
}

void BeginOutputHandler(PageStatus& status) {
  status.fieldError.reset();
  status.messageType = std::string(kStatusDone);
  status.messageText = ConfigMessage(kMsgStatusChangesDone);
  status.success = 1;
}

void RejectField(PageStatus& status, std::string message) {
  status.messageType = std::string(kStatusError);
  status.messageText = message;
  status.fieldError = std::move(message);
  status.success = 0;
}

void SetStatusMessage(PageStatus& status, std::string_view type, std::string message) {
  status.messageType = std::string(type);
  status.messageText = std::move(message);
}

void FailStatus(PageStatus& status, std::string message) {
  SetStatusMessage(status, kStatusError, std::move(message));
  status.success = 0;
}

}  // namespace cfgout

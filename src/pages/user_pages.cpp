#include "pages/user_pages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "html/output.h"
#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "pages/external_programs.h"
#include "pages/form_fields.h"
#include "runtime/child_process.h"
#include "runtime/file_bytes.h"

namespace cfgout {

namespace {

// Form-variable codes of the user pages' fields.
constexpr int kFieldUserName = 4100;
constexpr int kFieldUserNameOe = 4111;
constexpr int kFieldCurrentPassword = 1150;
constexpr int kFieldNewPassword = 2630;
constexpr int kFieldVerifyPassword = 4120;
constexpr int kFieldPasswordFile = 2800;
constexpr int kFieldGroupFile = 1940;
constexpr int kFieldGroup = 1930;
constexpr int kFieldDescription = 1280;

// Exit status of the password tool's add command for an existing user.
constexpr int kToolUserExists = 4;

// What the four forms may carry; absent fields stay empty optionals.
struct UserForm {
  std::optional<std::string> user;
  std::optional<std::string> password;
  std::optional<std::string> newPassword;
  std::optional<std::string> verify;
  std::optional<std::string> passwordFile;
  std::optional<std::string> groupFile;
  std::optional<std::string> group;
  std::optional<std::string> description;
};

bool Missing(const std::optional<std::string>& value) { return !value || value->empty(); }

// A value between double quotes without them (at least two characters, both
// quotes); anything else as it stands.
std::string WithoutQuotes(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value.remove_prefix(1);
    value.remove_suffix(1);
  }
  return std::string(value);
}

// The common start of the four handlers (status "Ready", type "0") and the
// field walk. Returns false when a field was rejected.
bool ReadUserForm(const FormArgList& args, PageStatus& status, UserForm& form) {
  status.fieldError.reset();
  status.messageText = ConfigMessage(kMsgStatusReady);
  status.success = 1;
  status.messageType = std::string(kStatusReady);
  return WalkFormFields(args, status, [&](const FormArg& field, int code) {
    std::string value(FieldValue(field));
    switch (code) {
      case kFieldUserName:
      case kFieldUserNameOe: form.user = std::move(value); break;
      case kFieldCurrentPassword: form.password = std::move(value); break;
      case kFieldNewPassword: form.newPassword = std::move(value); break;
      case kFieldVerifyPassword: form.verify = std::move(value); break;
      case kFieldPasswordFile: form.passwordFile = std::move(value); break;
      case kFieldGroupFile: form.groupFile = WithoutQuotes(value); break;
      case kFieldGroup: form.group = std::move(value); break;
      case kFieldDescription: form.description = std::move(value); break;
      default: break;  // buttons and fields of other pages
    }
  });
}

void Error(PageStatus& status, std::string message) {
  status.messageType = std::string(kStatusError);
  status.messageText = std::move(message);
  status.success = 0;
}

// An error that ends the handler.
int Refuse(PageStatus& status, std::string message) {
  Error(status, std::move(message));
  return 0;
}

void Done(PageStatus& status, std::string message) {
  status.messageType = std::string(kStatusDone);
  status.messageText = std::move(message);
  status.success = 0;
}

// Runs the password tool: its path, the command word, then each value as
// one argument. The password file goes without enclosing double quotes, as
// a shell would have removed them.
int RunPasswordTool(const char* command, const std::string& passwordFile, std::vector<std::string> values) {
  std::vector<std::string> argv{PasswordToolPath(), command, WithoutQuotes(passwordFile)};
  for (std::string& value : values) argv.push_back(std::move(value));
  return RunProgram(argv);
}

bool FileExists(const std::string& passwordFile) {
  struct stat st {};
  return ::stat(WithoutQuotes(passwordFile).c_str(), &st) == 0;
}

// ---- Group file -------------------------------------------------------------

// The file's lines, each with its "\n" when it had one. nullopt when the file
// cannot be read.
std::optional<std::vector<std::string>> ReadLines(const std::string& path) {
  std::string text;
  if (!ReadRegularFile(path, text)) return std::nullopt;
  const std::vector<std::string_view> lines = SplitLinesKeepingEnds(text);
  return std::vector<std::string>(lines.begin(), lines.end());
}

// Replaces the file by `text` without ever truncating it in place, with the
// old file's mode and (where allowed) owner. A symbolic link is followed, so
// the link stays a link.
bool ReplaceGroupFile(const std::string& path, const std::string& text) {
  std::string target = path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) != nullptr) target = resolved;
  struct stat old {};
  if (::stat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return false;
  return ReplaceFileContents(target, text, ReplaceOptions{old.st_mode & 07777, &old, false, "cfgout"});
}

// The default file shown on a page: the server root, a "/" unless it ends
// in one (or in "\"), and the name.
std::string ServerFile(const std::string& serverRoot, const char* name) {
  std::string path = serverRoot;
  if (path.empty() || (path.back() != '/' && path.back() != '\\')) path += '/';
  path += name;
  return path;
}

}  // namespace

namespace {

int AddUserToGroup(std::string_view user, std::string_view group, const std::string& groupFile) {
  const std::string newLine = FormatText("%s: %s\n", {group, user});
  std::optional<std::vector<std::string>> lines = ReadLines(groupFile);
  if (!lines) {
    // Not readable (usually: not there yet): the new group line is appended,
    // which creates the file.
    const int fd = ::open(groupFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0640);
    if (fd < 0) return 1;
    const bool ok = WriteAllBytes(fd, newLine);
    return ::close(fd) == 0 && ok ? 0 : 1;
  }
  std::string text;
  bool matched = false;
  for (std::string& line : *lines) {
    if (!line.empty() && line.back() == '\n') line.pop_back();
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && std::string_view(line).substr(0, colon) == group) {
      line = FormatText("%s, %s", {line, user});
      matched = true;
    }
    text += line;
    text += '\n';
  }
  if (!matched) text += newLine;
  return ReplaceGroupFile(groupFile, text) ? 0 : 1;
}

int DelUserFromGroup(std::string_view user, const std::string& groupFile) {
  std::optional<std::vector<std::string>> lines = ReadLines(groupFile);
  if (!lines) return 1;
  if (lines->empty()) return 0;
  std::string text;
  for (const std::string& line : *lines) {
    const std::size_t colon = line.find(':');
    const std::size_t from = colon == std::string::npos ? 0 : colon;
    const std::size_t at = user.empty() ? std::string::npos : line.find(user, from);
    // A match needs at least two characters before it (the ": " or ", "
    // that joins it); a line that does not have them is no member list.
    if (at == std::string::npos || at < 2) {
      text += line;
      continue;
    }
    std::string_view before = std::string_view(line).substr(0, at);
    std::string_view after = std::string_view(line).substr(at + user.size());
    std::string result;
    if (before[before.size() - 2] != ':') {
      // Not the first member: drop the ", " before it.
      before.remove_suffix(2);
    } else {
      // The first member: keep "group:", drop the blank before the name and
      // the "," after it.
      before.remove_suffix(1);
      if (!after.empty()) after.remove_prefix(1);
    }
    result.append(before);
    result.append(after);
    if (!result.empty() && result.back() == ':') continue;  // no member left
    text += result;
  }
  return ReplaceGroupFile(groupFile, text) ? 0 : 2;
}

}  // namespace

int CfgAddUserToGroup(std::string_view user, std::string_view group, const std::string& groupFile) {
  if (group.empty()) return 1;
  try {
    return AddUserToGroup(user, group, groupFile);
  } catch (const std::bad_alloc&) {
    return 2;
  }
}

int CfgDelUserFromGroup(std::string_view user, const std::string& groupFile) {
  try {
    return DelUserFromGroup(user, groupFile);
  } catch (const std::bad_alloc&) {
    return 3;
  }
}

// ---- Output handlers -----------------------------------------------------------

int AdduserOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle&) {
  UserForm form;
  if (!ReadUserForm(args, status, form)) return 0;
  status.success = 0;
  if (Missing(form.user)) return Refuse(status, ConfigMessage(kMsgNoUserName));
  if (Missing(form.password)) return Refuse(status, ConfigMessage(kMsgNoPassword));
  if (Missing(form.verify)) return Refuse(status, ConfigMessage(kMsgNoVerification));
  if (Missing(form.passwordFile)) return Refuse(status, ConfigMessage(kMsgNoPasswordFile));
  if (Missing(form.groupFile)) return Refuse(status, ConfigMessage(kMsgNoGroupFile));
  const std::string description = Missing(form.description) ? std::string("webuser") : *form.description;
  if (*form.password != *form.verify) {
    return Refuse(status, ConfigMessage(kMsgPasswordsDiffer));
  }
  const std::string& user = *form.user;
  const std::string& passwordFile = *form.passwordFile;
  if (!FileExists(passwordFile)) {
    const int rc = RunPasswordTool("Q-create", passwordFile, {});
    if (rc != 0) return Refuse(status, FormatText(ConfigMessage(kMsgPasswordFileCreateFailed), {rc}));
  }
  const int rc = RunPasswordTool("Q-adduser", passwordFile, {user, *form.password, description});
  if (rc == kToolUserExists) {
    return Refuse(status, FormatText(ConfigMessage(kMsgUserAlreadyExists), {user, passwordFile}));
  }
  if (rc != 0) {
    return Refuse(status, FormatText(ConfigMessage(kMsgUserAddFailed), {user}));
  }
  const std::string& groupFile = *form.groupFile;
  switch (const int grc = CfgAddUserToGroup(user, form.group.value_or(""), groupFile)) {
    case 0: Done(status, FormatText(ConfigMessage(kMsgUserAdded), {user})); break;
    case 1: Error(status, FormatText(ConfigMessage(kMsgGroupUpdateFailed), {groupFile})); break;
    case 2: Error(status, ConfigMessage(kMsgOutOfMemory)); break;
    default:
      Error(status, FormatText(ConfigMessage(kMsgGroupAddUnexpected), {grc}));
      break;
  }
  return 0;
}

int ChkuserOutputHandler(const FormArgList& args, PageStatus& status) {
  UserForm form;
  if (!ReadUserForm(args, status, form)) return 0;
  status.success = 0;
  if (Missing(form.user)) return Refuse(status, ConfigMessage(kMsgNoUserName));
  if (Missing(form.password)) return Refuse(status, ConfigMessage(kMsgNoPassword));
  if (Missing(form.passwordFile)) return Refuse(status, ConfigMessage(kMsgNoPasswordFile));
  const std::string& user = *form.user;
  if (RunPasswordTool("Q-check", *form.passwordFile, {user, *form.password}) == 0) {
    Done(status, FormatText(ConfigMessage(kMsgUserExists), {user}));
  } else {
    Error(status, FormatText(ConfigMessage(kMsgUserNotFound), {user, *form.passwordFile}));
  }
  return 0;
}

int ChpasswdOutputHandler(const FormArgList& args, PageStatus& status) {
  UserForm form;
  if (!ReadUserForm(args, status, form)) return 0;
  status.success = 0;
  if (Missing(form.user)) return Refuse(status, ConfigMessage(kMsgNoUserName));
  if (Missing(form.newPassword)) return Refuse(status, ConfigMessage(kMsgNoPassword));
  if (Missing(form.verify)) return Refuse(status, ConfigMessage(kMsgNoVerification));
  if (Missing(form.passwordFile)) return Refuse(status, ConfigMessage(kMsgNoPasswordFile));
  if (*form.newPassword != *form.verify) {
    return Refuse(status, ConfigMessage(kMsgPasswordsDiffer));
  }
  const std::string& user = *form.user;
  if (RunPasswordTool("Q-passwd", *form.passwordFile, {user, *form.newPassword}) != 0) {
    Error(status, FormatText(ConfigMessage(kMsgPasswordChangeFailed), {user}));
  } else {
    Done(status, FormatText(ConfigMessage(kMsgPasswordChanged), {user, *form.passwordFile}));
  }
  return 0;
}

int DeluserOutputHandler(const FormArgList& args, PageStatus& status) {
  UserForm form;
  if (!ReadUserForm(args, status, form)) return 0;
  status.success = 0;
  if (Missing(form.user)) return Refuse(status, ConfigMessage(kMsgNoUserName));
  // Both files are needed before anything is deleted: a user taken out of
  // the password file but left in a group would be half deleted.
  if (Missing(form.passwordFile)) return Refuse(status, ConfigMessage(kMsgNoPasswordFile));
  if (Missing(form.groupFile)) return Refuse(status, ConfigMessage(kMsgNoGroupFile));
  const std::string& user = *form.user;
  if (RunPasswordTool("Q-deluser", *form.passwordFile, {user}) != 0) {
    return Refuse(status, FormatText(ConfigMessage(kMsgUserDeleteFailed), {user}));
  }
  const std::string& groupFile = *form.groupFile;
  switch (CfgDelUserFromGroup(user, groupFile)) {
    case 0:
      Done(status, FormatText(ConfigMessage(kMsgUserDeleted), {user, groupFile, *form.passwordFile}));
      break;
    case 1: Error(status, FormatText(ConfigMessage(kMsgGroupReadFailed), {groupFile})); break;
    case 2: Error(status, FormatText(ConfigMessage(kMsgGroupWriteFailed), {groupFile})); break;
    case 3: Error(status, ConfigMessage(kMsgOutOfMemory)); break;
    default: Error(status, FormatText(ConfigMessage(kMsgUserDeleteFailed), {user})); break;
  }
  return 0;
}

// ---- Display handler -----------------------------------------------------------

int UserDisplayHandler(const TemplatePage& page, PageStatus& status, int pageIndex, const std::string& serverRoot) {
  const bool withGroupFile = pageIndex == kPageAddUser || pageIndex == kPageDeleteUser;
  const bool statusSecond = pageIndex == kPageCheckUser || pageIndex == kPageChangePassword;
  // Everything the page shows is prepared first: without memory for it the
  // page prints nothing and the status says why.
  std::string passwordFile, groupFile;
  try {
    passwordFile = HtmlEscape(ServerFile(serverRoot, "protect/webadmin.passwd"));
    groupFile = HtmlEscape(ServerFile(serverRoot, "protect/webadmin.group"));
  } catch (const std::bad_alloc&) {
    status.messageType = std::string(kStatusError);
    status.messageText = ConfigMessage(kMsgOutOfMemory);
    status.success = 0;
    return 0;
  }
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenHtmlLine(line, passwordFile); break;
      case 1:
        if (statusSecond) {
          GenHeraldAppletParms(line, status);
        } else if (withGroupFile) {
          GenHtmlLine(line, groupFile);
        } else {
          return false;
        }
        break;
      case 2:
        if (!withGroupFile) return false;
        GenHeraldAppletParms(line, status);
        break;
      default: return false;
    }
    return true;
  });
  return 0;
}

}  // namespace cfgout

#include "pages/history_page.h"

#include <ctime>
#include <string_view>
#include <variant>

#include "history/change_history.h"
#include "html/output.h"
#include "nls/message_format.h"
#include "nls/message_lookup.h"
#include "pages/write_back.h"
#include "runtime/ascii.h"

namespace cfgout {

namespace {

// The page number asked for by "page=N" in the query string; 1 otherwise.
int RequestedPage(const std::optional<std::string>& queryString) {
  if (!queryString) return 1;
  std::string_view query = *queryString;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    if (pair.substr(0, 5) == "page=") {
      int number = 0;
      for (char c : pair.substr(5)) {
        if (!IsAsciiDigit(c) || number > 100000) return 1;
        number = number * 10 + (c - '0');
      }
      return number >= 1 ? number : 1;
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return 1;
}

std::string Text(ConfigMsg message) { return HtmlEscape(ConfigMessage(message)); }

void AppendTime(std::string& out, std::int64_t seconds) {
  const std::time_t when = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&when, &utc);
  char machine[32];
  char shown[32];
  std::strftime(machine, sizeof machine, "%Y-%m-%dT%H:%M:%SZ", &utc);
  std::strftime(shown, sizeof shown, "%Y-%m-%d %H:%M:%S UTC", &utc);
  AppendFormatted(out, "<time datetime=\"%s\">%s</time>", {std::string_view(machine), std::string_view(shown)});
}

void AppendFact(std::string& out, const std::string& label, std::string_view value) {
  out += "<dt>" + label + "</dt><dd>";
  AppendHtmlEscaped(out, value);
  out += "</dd>";
}

void AppendDiff(std::string& out, const FileDiff& file, std::size_t index, const std::string& anchor) {
  const std::string heading = anchor + "-f" + std::to_string(index);
  out += "<section class=\"diff\" aria-labelledby=\"" + heading + "\"><h3 id=\"" + heading + "\">";
  AppendHtmlEscaped(out, file.path);
  // Each line is a block of its own, so no line feeds between them: the
  // lines stay apart when the diff is copied, without blank lines between.
  out += "</h3>\n<pre class=\"diff\">";
  const std::string added = "<span class=\"visually-hidden\">" + Text(kMsgHistoryAdded) + " </span>";
  const std::string removed = "<span class=\"visually-hidden\">" + Text(kMsgHistoryRemoved) + " </span>";
  for (const DiffLine& line : file.lines) {
    switch (line.kind) {
      case DiffLine::kHunk: out += "<span class=\"hunk\">"; break;
      case DiffLine::kAdded: out += "<ins>" + added + "+"; break;
      case DiffLine::kRemoved: out += "<del>" + removed + "-"; break;
      case DiffLine::kContext: out += "<span class=\"context\"> "; break;
      case DiffLine::kNote: out += "<span class=\"note\">\\ "; break;
    }
    AppendHtmlEscaped(out, line.text);
    out += line.kind == DiffLine::kAdded ? "</ins>" : line.kind == DiffLine::kRemoved ? "</del>" : "</span>";
  }
  out += "</pre>\n";
  if (file.omitted > 0) {
    out += "<p class=\"hint\">" +
           HtmlEscape(FormatText(ConfigMessage(kMsgHistoryLinesHidden),
                                 {static_cast<std::int64_t>(file.omitted)})) +
           "</p>\n";
  }
  out += "</section>\n";
}

std::string ChangeListHtml(const ChangeList& list) {
  if (list.entries.empty()) return "<p>" + Text(kMsgHistoryEmpty) + "</p>";
  std::string out = "<ol class=\"changes\">\n";
  for (const ChangeEntry& entry : list.entries) {
    const std::string anchor = "change-" + entry.id.substr(0, 12);
    out += "<li class=\"change\"><article aria-labelledby=\"" + anchor + "\">\n<h2 id=\"" + anchor + "\">";
    if (entry.isStart) {
      out += Text(kMsgHistoryFirstState);
    } else {
      AppendHtmlEscaped(out, entry.summary);
    }
    out += "</h2>\n<dl class=\"facts\"><dt>" + Text(kMsgHistoryTime) + "</dt><dd>";
    AppendTime(out, entry.time);
    out += "</dd>";
    AppendFact(out, Text(kMsgHistoryAuthor), entry.author);
    if (!entry.source.empty()) AppendFact(out, Text(kMsgHistoryPage), entry.source);
    if (!entry.address.empty()) AppendFact(out, Text(kMsgHistoryAddress), entry.address);
    out += "</dl>\n";
    for (std::size_t i = 0; i < entry.files.size(); ++i) AppendDiff(out, entry.files[i], i, anchor);
    if (!entry.isStart) {
      out += "<form method=\"post\" action=\"HISTORY\"><input type=\"hidden\" name=\"UNDO\" value=\"";
      AppendHtmlEscaped(out, entry.id);
      out += "\"><button type=\"submit\" class=\"secondary\" aria-describedby=\"" + anchor + "\">" +
             Text(kMsgHistoryUndoButton) + "</button></form>\n";
    }
    out += "</article></li>\n";
  }
  out += "</ol>";
  return out;
}

std::string PageLinks(int page, bool more) {
  std::string out;
  if (page > 1) {
    AppendFormatted(out, "<a href=\"HISTORY?page=%d\" rel=\"prev\">", {std::int64_t{page - 1}});
    out += Text(kMsgHistoryNewer) + "</a>";
  }
  if (more) {
    if (!out.empty()) out += " ";
    AppendFormatted(out, "<a href=\"HISTORY?page=%d\" rel=\"next\">", {std::int64_t{page + 1}});
    out += Text(kMsgHistoryOlder) + "</a>";
  }
  return out;
}

std::string RefusalMessage(const UndoRefusal& refusal) {
  switch (refusal.kind) {
    case UndoRefusal::kStartingPoint:
      return ConfigMessage(kMsgUndoFirstChange);
    case UndoRefusal::kChangedSince:
      return FormatText(ConfigMessage(kMsgUndoFileChanged), {refusal.detail});
    case UndoRefusal::kNotInConfiguration:
      return FormatText(ConfigMessage(kMsgUndoFileGone), {refusal.detail});
    case UndoRefusal::kHistoryUnreadable:
      return FormatText(ConfigMessage(kMsgHistoryUnreadable), {refusal.detail});
    case UndoRefusal::kNoSuchChange: break;
  }
  return ConfigMessage(kMsgUndoUnknownChange);
}

}  // namespace

int HistoryDisplayHandler(const TemplatePage& page, PageStatus& status, ConfigHandle& cfg,
                          const std::optional<std::string>& queryString) {
  const int number = RequestedPage(queryString);
  std::string listHtml;
  std::string links;
  std::string error;
  const std::string mainFile = cfg.first() != nullptr ? cfg.first()->path : std::string();
  if (std::optional<ChangeList> list = ListChanges(mainFile, (number - 1) * kHistoryPageSize, kHistoryPageSize, error)) {
    listHtml = ChangeListHtml(*list);
    links = PageLinks(number, list->more);
  } else {
    SetStatusMessage(status, kStatusError, FormatText(ConfigMessage(kMsgHistoryUnreadable), {error}));
  }
  WalkTemplate(page, [&](int marker, const char* line) {
    switch (marker) {
      case 0: GenHtmlLine(line, listHtml); break;
      case 1: GenHtmlLine(line, links); break;
      case 2: GenHeraldAppletParms(line, status); break;
      default: return false;
    }
    return true;
  });
  return 0;
}

int HistoryOutputHandler(const FormArgList& args, PageStatus& status, ConfigHandle& cfg) {
  BeginOutputHandler(status);
  const FormArg* undo = nullptr;
  for (const FormArg& field : args) {
    if (EqualsIgnoringCase(field.name, "UNDO")) undo = &field;
  }
  const std::string id = undo != nullptr && undo->value ? *undo->value : std::string();
  std::variant<UndoPlan, UndoRefusal> planned = PlanUndo(cfg, id);
  if (const UndoRefusal* refusal = std::get_if<UndoRefusal>(&planned)) {
    FailStatus(status, RefusalMessage(*refusal));
    return 0;
  }
  const UndoPlan& plan = std::get<UndoPlan>(planned);
  ApplyUndo(plan);
  ChangeNote note = PageChangeNote("HISTORY", args);
  note.summary = "Undo of change " + id.substr(0, 12);
  if (WriteBackAndRecord(cfg, status, note) && status.messageType == kStatusDone) {
    SetStatusMessage(status, kStatusDone, ConfigMessage(kMsgUndoDone));
  }
  return 0;
}

}  // namespace cfgout

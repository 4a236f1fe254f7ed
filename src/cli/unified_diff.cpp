#include "cli/unified_diff.h"

#include <algorithm>
#include <vector>

#include "runtime/file_bytes.h"

namespace cfgout::cli {

namespace {

constexpr std::size_t kContext = 3;

struct Op {
  char kind;  // ' ', '-' or '+'
  std::string_view line;
};

// The shortest edit script between a[from..aEnd) and b[from..bEnd) (Myers'
// greedy algorithm). Each step keeps only the diagonals it reached, so the
// memory grows with the square of the number of differences, not with the
// size of the files.
void MiddleOps(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b, std::size_t from,
               std::size_t aEnd, std::size_t bEnd, std::vector<Op>& ops) {
  const long n = static_cast<long>(aEnd - from);
  const long m = static_cast<long>(bEnd - from);
  auto A = [&](long i) { return a[from + static_cast<std::size_t>(i)]; };
  auto B = [&](long i) { return b[from + static_cast<std::size_t>(i)]; };
  std::vector<std::vector<long>> trace;  // trace[d][k + d] = furthest x on diagonal k after d steps
  long steps = 0;
  for (long d = 0;; ++d) {
    std::vector<long> v(static_cast<std::size_t>(2 * d + 1));
    bool done = false;
    for (long k = -d; k <= d; k += 2) {
      long x;
      if (d == 0) {
        x = 0;
      } else {
        const std::vector<long>& prev = trace.back();
        auto at = [&](long kk) { return prev[static_cast<std::size_t>(kk + d - 1)]; };
        x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
      }
      long y = x - k;
      while (x < n && y < m && A(x) == B(y)) { ++x; ++y; }
      v[static_cast<std::size_t>(k + d)] = x;
      if (x >= n && y >= m) done = true;
    }
    trace.push_back(std::move(v));
    if (done) {
      steps = d;
      break;
    }
  }
  std::vector<Op> reversed;
  long x = n, y = m;
  for (long d = steps; d > 0; --d) {
    const std::vector<long>& prev = trace[static_cast<std::size_t>(d - 1)];
    auto at = [&](long kk) { return prev[static_cast<std::size_t>(kk + d - 1)]; };
    const long k = x - y;
    const long prevK = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? k + 1 : k - 1;
    const long prevX = at(prevK);
    const long prevY = prevX - prevK;
    while (x > prevX && y > prevY) { reversed.push_back({' ', A(x - 1)}); --x; --y; }
    if (x == prevX) reversed.push_back({'+', B(y - 1)}); else reversed.push_back({'-', A(x - 1)});
    x = prevX;
    y = prevY;
  }
  while (x > 0 && y > 0) { reversed.push_back({' ', A(x - 1)}); --x; --y; }
  ops.insert(ops.end(), reversed.rbegin(), reversed.rend());
}

void AppendLine(std::string& out, char kind, std::string_view line) {
  out += kind;
  out.append(line);
  if (line.empty() || line.back() != '\n') out += "\n\\ No newline at end of file\n";
}

void AppendRange(std::string& out, std::size_t start, std::size_t length) {
  out += std::to_string(length == 0 ? start : start + 1);
  if (length != 1) {
    out += ',';
    out += std::to_string(length);
  }
}

}  // namespace

void AppendUnifiedDiff(std::string& out, std::string_view before, std::string_view after, std::string_view name) {
  if (before == after) return;
  const std::vector<std::string_view> a = SplitLinesKeepingEnds(before);
  const std::vector<std::string_view> b = SplitLinesKeepingEnds(after);
  std::size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix]) {
    ++suffix;
  }
  std::vector<Op> ops;
  for (std::size_t i = 0; i < prefix; ++i) ops.push_back({' ', a[i]});
  MiddleOps(a, b, prefix, a.size() - suffix, b.size() - suffix, ops);
  for (std::size_t i = a.size() - suffix; i < a.size(); ++i) ops.push_back({' ', a[i]});

  out += "--- ";
  out.append(name);
  out += "\n+++ ";
  out.append(name);
  out += '\n';
  // Line counts before each op, to number the hunks.
  std::size_t i = 0;
  std::size_t aLine = 0, bLine = 0;
  while (i < ops.size()) {
    if (ops[i].kind == ' ') {
      ++i, ++aLine, ++bLine;
      continue;
    }
    // A hunk: context before, then changes until a run of more than twice
    // the context of unchanged lines (or the end).
    const std::size_t lead = std::min(kContext, i);
    std::size_t start = i - lead;
    std::size_t aStart = aLine - lead, bStart = bLine - lead;
    std::size_t end = i;
    std::size_t lastChange = i;
    for (std::size_t j = i; j < ops.size(); ++j) {
      if (ops[j].kind != ' ') lastChange = j;
      else if (j - lastChange > 2 * kContext) break;
    }
    end = std::min(ops.size(), lastChange + 1 + kContext);
    std::size_t aLen = 0, bLen = 0;
    for (std::size_t j = start; j < end; ++j) {
      if (ops[j].kind != '+') ++aLen;
      if (ops[j].kind != '-') ++bLen;
    }
    out += "@@ -";
    AppendRange(out, aStart, aLen);
    out += " +";
    AppendRange(out, bStart, bLen);
    out += " @@\n";
    for (std::size_t j = start; j < end; ++j) AppendLine(out, ops[j].kind, ops[j].line);
    // Advance the counters over the hunk.
    for (std::size_t j = i; j < end; ++j) {
      if (ops[j].kind != '+') ++aLine;
      if (ops[j].kind != '-') ++bLine;
    }
    i = end;
  }
}

}  // namespace cfgout::cli

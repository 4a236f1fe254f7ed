// CGI benchmark: whole requests of the cfgout program against the process
// floor. Prints ratios, never asserts timings.
//
//   cgi_bench [work-directory] [rounds] [case]
//
// With `case`, only the cases whose name contains it run ("POST", "mapping").
// CFGOUT_BENCH_KEEP=1 in the environment keeps the work directory (with the
// configurations and the history) for profiling single requests.
//
// A generated configuration of 20,000 lines (a main file and three included
// files) is served by
//   - cfgout: GET of the Basic page, and POST of the Basic page (one field
//     changed, every file written back and the change recorded in the
//     configuration's history, a git repository beside it); GET of the
//     proxy mapping page on a configuration of the same size where every
//     fifth line is a CacheOnly or NoCaching rule (4,000 rows, besides the
//     generator's CacheQueries rules), so the page prints two long tables;
//   - cgi_floor: a minimal C program that reads the same configuration and
//     writes a CGI header and its bytes (for the POST floor it also writes
//     the file back with temporary file, fsync and rename, as the store does).
// Every request is a fresh process with a CGI environment, started with
// posix_spawn, its output read through a pipe as a web server reads it.
// Requests alternate between program and floor so that both see the same
// machine load; the median of each is compared.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "config_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

// `count` generated lines; with `mappingEvery` > 0, every mappingEvery-th of
// them is a CacheOnly or NoCaching rule instead.
std::string RuleLines(cfgout::bench::RuleGenerator& rules, int count, int mappingEvery, int& mappings) {
  if (mappingEvery <= 0) return rules.Lines(count);
  std::string out;
  for (int i = 1; i <= count; ++i) {
    if (i % mappingEvery != 0) {
      out += rules.Lines(1);
      continue;
    }
    const int n = mappings++;
    out += (n % 2 == 0 ? "CacheOnly   http://site" : "NoCaching   http://ads") + std::to_string(n) + ".example.com/*\n";
  }
  return out;
}

// Main file: the Basic page's directives, three configfile lines and rules;
// each included file: rules. `totalLines` lines in all, a quarter per file.
// Port stays the Basic page's one line, as on a real server.
bool WriteConfiguration(const std::filesystem::path& dir, int totalLines, int mappingEvery = 0) {
  cfgout::bench::RuleGenerator rules(20240601, false);
  const int perFile = totalLines / 4;
  cfgout::bench::ConfigFiles files;
  files.paths.push_back((dir / "proxy.conf").string());
  for (int f = 1; f <= 3; ++f) files.paths.push_back((dir / ("part" + std::to_string(f) + ".conf")).string());
  std::vector<std::string> images(files.paths.size());
  images[0] =
      "# Proxy configuration (benchmark)\n"
      "HostName        proxy.example.com\n"
      "BindSpecific    off\n"
      "Port            8080\n"
      "AdminPort       8008\n"
      "ServerRoot      /srv/proxy\n"
      "DNS-Lookup      off\n"
      "UserID          nobody\n"
      "GroupID         nogroup\n"
      "PidFile         /run/proxy.pid\n"
      "Imbeds          Files SSIonly\n"
      "InheritEnv      PATH LANG\n";
  int lines = 12;
  for (std::size_t f = 1; f < files.paths.size(); ++f, ++lines) images[0] += "configfile " + files.paths[f] + "\n";
  int mappings = 0;
  images[0] += RuleLines(rules, perFile - lines, mappingEvery, mappings);
  for (std::size_t f = 1; f < images.size(); ++f) images[f] = RuleLines(rules, perFile, mappingEvery, mappings);
  return cfgout::bench::WriteConfigFiles(files, images);
}

// The mapping rules page's configuration: `totalLines` lines in a main file
// and three included files, a quarter of them (`totalLines` / 4) mapping
// rules of the eight keywords (some with a trailing comment), the rest
// comments, blank lines and other directives.
bool WriteMappingConfiguration(const std::filesystem::path& dir, int totalLines) {
  static const char* const kRules[] = {
      "Pass      /docs%d/*     /var/www/docs%d/*\n",
      "Map       /old%d/*      /new%d/*   # moved\n",
      "Fail      /private%d/*\n",
      "Exec      /cgi-bin%d/*  /opt/server/cgi-bin%d/*\n",
      "Redirect  /gone%d/*     http://elsewhere%d.example.com/*\n",
      "Proxy     http://site%d.example.com/*\n",
      "Service   /svc%d/*      /opt/server/lib/svc%d.so:run*\n",
      "NameTrans /nt%d/*       /opt/server/lib/nt%d.so:map\n",
  };
  static const char* const kOthers[] = {
      "# %d: the rules of the next section\n",
      "AddType   .ext%d        application/x-type%d   binary  1.0\n",
      "\n",
  };
  cfgout::bench::ConfigFiles files;
  files.paths.push_back((dir / "proxy.conf").string());
  for (int f = 1; f <= 3; ++f) files.paths.push_back((dir / ("rules" + std::to_string(f) + ".conf")).string());
  std::vector<std::string> images(files.paths.size());
  images[0] = "# Proxy configuration (mapping rules benchmark)\nPass      /index.html   /var/www/index.html\n";
  for (std::size_t f = 1; f < files.paths.size(); ++f) images[0] += "configfile " + files.paths[f] + "\n";
  int lines = static_cast<int>(files.paths.size()) + 1;
  const int perFile = totalLines / 4;
  char line[256];
  for (int n = 0; lines < totalLines; ++n, ++lines) {
    const char* shape = n % 4 == 0 ? kRules[(n / 4) % std::size(kRules)] : kOthers[n % 3];
    std::snprintf(line, sizeof line, shape, n, n);
    images[std::min<std::size_t>(lines / perFile, images.size() - 1)] += line;
  }
  return cfgout::bench::WriteConfigFiles(files, images);
}

// Runs one request; returns its wall time in microseconds (-1 on failure)
// and stores the CPU time (user and system) the process used in `cpu`.
double Request(const std::string& binary, const std::vector<std::string>& env, const std::string& body,
               double& cpu) {
  int in[2], out[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, in[1]);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  char* argv[] = {const_cast<char*>(binary.c_str()), nullptr};

  const auto start = Clock::now();
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  if (rc != 0) {
    ::close(in[1]);
    ::close(out[0]);
    return -1;
  }
  // Bodies are small: they fit the pipe buffer.
  if (!body.empty() && ::write(in[1], body.data(), body.size()) != static_cast<ssize_t>(body.size())) return -1;
  ::close(in[1]);
  char buffer[65536];
  std::size_t total = 0;
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0) break;
    total += static_cast<std::size_t>(n);
  }
  ::close(out[0]);
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  const auto end = Clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || total == 0) return -1;
  return std::chrono::duration<double, std::micro>(end - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::vector<std::string> Environment(const std::filesystem::path& dir, bool post, std::size_t bodySize,
                                     const char* page = "BASIC") {
  std::vector<std::string> env = {"PACKAGE_TYPE=3", "SERVER_ROOT=" + dir.string(), std::string("PATH_INFO=/") + page,
                                  "RULE_FILE=" + (dir / "proxy.conf").string()};
  env.push_back(post ? "REQUEST_METHOD=POST" : "REQUEST_METHOD=GET");
  if (post) env.push_back("CONTENT_LENGTH=" + std::to_string(bodySize));
  return env;
}

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path dir = argc > 1 ? std::filesystem::path(argv[1])
                                       : std::filesystem::temp_directory_path() / "cfgout-cgi-bench";
  const int rounds = argc > 2 ? std::max(3, std::atoi(argv[2])) : 60;
  const std::string only = argc > 3 ? argv[3] : "";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::filesystem::path mappingDir = dir / "mapping";
  std::filesystem::create_directories(mappingDir);
  const std::filesystem::path cachingDir = dir / "caching";
  std::filesystem::create_directories(cachingDir);
  if (!WriteConfiguration(dir, 20000) || !WriteMappingConfiguration(mappingDir, 20000) ||
      !WriteConfiguration(cachingDir, 20000, 5)) {
    std::fprintf(stderr, "cgi_bench: cannot write the configuration in %s\n", dir.c_str());
    return 1;
  }

  // CGI_BENCH_PROGRAM: another build of the program (say, of an earlier
  // version) measured in the same runs.
  const char* otherProgram = std::getenv("CGI_BENCH_PROGRAM");
  const std::string program = otherProgram != nullptr ? otherProgram : CFGOUT_BINARY;
  const std::string floor = CFGOUT_FLOOR_BINARY;

  struct Case {
    const char* name;
    bool post;
    double goal;
    const char* page = "BASIC";
    const std::filesystem::path* config = nullptr;  // null: the Basic page's configuration
  };
  std::printf("cgi: whole requests on a 20,000-line configuration (4 files), %d rounds, medians\n", rounds);
  bool ok = true;  // all ratios within their goals
  for (const Case& c : {Case{"GET  Basic page", false, 1.5}, Case{"POST Basic page, with history", true, 2.5},
                        Case{"GET  mapping rules page (5,000 rules)", false, 1.5, "MPFRULE", &mappingDir},
                        Case{"GET  proxy mapping page (5,000 rows)", false, 1.5, "PROXMAP", &cachingDir}}) {
    if (std::string(c.name).find(only) == std::string::npos) continue;
    const std::filesystem::path& config = c.config != nullptr ? *c.config : dir;
    std::vector<double> programTimes, floorTimes, programCpu, floorCpu;
    for (int r = -2; r < rounds; ++r) {  // two warm-up rounds
      // Alternate the user so that every POST really changes a line.
      const std::string body = "UserID=user" + std::to_string(r & 1) + "&ADMINPORT=8008&PUSHBUTTON=Apply";
      double pc = 0, fc = 0;
      const double p =
          Request(program, Environment(config, c.post, body.size(), c.page), c.post ? body : std::string(), pc);
      const double f =
          Request(floor, Environment(config, c.post, body.size(), c.page), c.post ? body : std::string(), fc);
      if (p < 0 || f < 0) {
        std::fprintf(stderr, "cgi_bench: a request failed (%s)\n", c.name);
        return 1;
      }
      if (r >= 0) {
        programTimes.push_back(p);
        floorTimes.push_back(f);
        programCpu.push_back(pc);
        floorCpu.push_back(fc);
      }
    }
    const double pm = Median(programTimes), fm = Median(floorTimes);
    const double ratio = pm / fm;
    std::printf("  %s: cfgout %8.0f us, floor %8.0f us, ratio %.2fx (goal <= %.1fx)%s\n", c.name, pm, fm, ratio,
                c.goal, ratio <= c.goal ? "" : "  ABOVE GOAL");
    // CPU time depends less on what else the machine runs than wall time.
    const double pc = Median(programCpu), fc = Median(floorCpu);
    std::printf("  %*s  CPU time: cfgout %8.0f us, floor %8.0f us, ratio %.2fx\n", static_cast<int>(std::strlen(c.name)),
                "", pc, fc, fc > 0 ? pc / fc : 0.0);
    ok = ok && ratio <= c.goal;
  }
  const char* keep = std::getenv("CFGOUT_BENCH_KEEP");
  if (keep == nullptr || std::string(keep) != "1") std::filesystem::remove_all(dir);
  (void)ok;
  return 0;
}

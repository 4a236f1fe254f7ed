// htadm as a black box: each command's exit status, the one-line messages,
// the file it leaves (private, no password in it), and lighttpd's basic
// authentication accepting users from a file it wrote.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cgi/cgi_runner.h"
#include "support/temp_dir.h"

namespace cfgout::testing {
namespace {

CgiResult Htadm(std::vector<std::string> args) {
  args.insert(args.begin(), CFGOUT_HTADM);
  return RunCommand(args, {});
}

struct Step {
  std::vector<std::string> args;  // after the command word and the file
  int status;
  const char* err;  // standard error, "" for none
};

TEST(HtadmTest, CommandsAndExitStatus) {
  TempDir dir("cfgout-htadm");
  const std::string f = dir / "users.passwd";
  const std::vector<Step> steps = {
      {{"Q-check", f, "ann", "pw"}, 3, "htadm: cannot read F: No such file or directory\n"},
      {{"Q-create", f}, 0, ""},
      {{"Q-create", f}, 8, "htadm: F exists already\n"},
      {{"Q-adduser", f, "ann", "secret one", "Ann, admin"}, 0, ""},
      {{"Q-adduser", f, "ann", "other", "x"}, 4, "htadm: user ann exists already in F\n"},
      {{"Q-adduser", f, "bob", "b-pw", ""}, 0, ""},
      {{"Q-adduser", f, "a:b", "pw", "x"}, 2, "htadm: a user name must not be empty, start with # or hold : or a line break\n"},
      {{"Q-adduser", f, "a\nb", "pw", "x"}, 2, "htadm: a user name must not be empty, start with # or hold : or a line break\n"},
      {{"Q-adduser", f, "#x", "pw", "x"}, 2, "htadm: a user name must not be empty, start with # or hold : or a line break\n"},
      {{"Q-adduser", f, "cy", "", "x"}, 2, "htadm: the password must not be empty\n"},
      {{"Q-adduser", f, "cy", "pw", "two\nlines"}, 2, "htadm: a description must not hold a line break\n"},
      {{"Q-check", f, "ann", "secret one"}, 0, ""},
      {{"Q-check", f, "ann", "secret"}, 7, "htadm: wrong password for user ann\n"},
      {{"Q-check", f, "nobody", "x"}, 6, "htadm: no user nobody in F\n"},
      {{"Q-passwd", f, "ann", "new-pw"}, 0, ""},
      {{"Q-check", f, "ann", "secret one"}, 7, "htadm: wrong password for user ann\n"},
      {{"Q-check", f, "ann", "new-pw"}, 0, ""},
      {{"Q-passwd", f, "nobody", "x"}, 6, "htadm: no user nobody in F\n"},
      {{"Q-deluser", f, "nobody"}, 6, "htadm: no user nobody in F\n"},
      {{"Q-deluser", f, "ann"}, 0, ""},
      {{"Q-check", f, "ann", "new-pw"}, 6, "htadm: no user ann in F\n"},
      {{"Q-check", f, "bob", "b-pw"}, 0, ""},
      {{"Q-create", dir / "no-dir/x"}, 5, "htadm: cannot lock D/no-dir/x: No such file or directory\n"},
      {{"Q-adduser", f, "x"}, 1, "htadm: Q-adduser takes 4 arguments (see --help)\n"},
      {{"Q-rename", f}, 1, "htadm: unknown command Q-rename (see --help)\n"},
  };
  for (const Step& s : steps) {
    const CgiResult r = Htadm(s.args);
    std::string err = s.err;
    for (auto [from, to] : {std::pair<std::string, std::string>{"F", f}, {"D", dir.path()}}) {
      for (std::size_t at = err.find(" " + from); at != std::string::npos; at = err.find(" " + from, at + to.size())) {
        err.replace(at + 1, from.size(), to);
      }
    }
    EXPECT_EQ(r.exitStatus, s.status) << s.args[0] << " " << (s.args.size() > 2 ? s.args[2] : "");
    EXPECT_EQ(r.err, err) << s.args[0];
    EXPECT_EQ(r.out, "") << s.args[0];
  }
  // Only bob is left, with no description; nothing readable by others; no
  // password in the file.
  const std::string text = dir.Read("users.passwd");
  EXPECT_EQ(text.rfind("bob:$2b$10$", 0), 0u) << text;
  EXPECT_EQ(text.size(), std::string("bob:").size() + 60 + 1) << text;
  struct stat st {};
  ::stat(f.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(Htadm({"--help"}).exitStatus, 0);
  EXPECT_NE(Htadm({"--help"}).out.find("Q-adduser FILE USER PASSWORD DESCRIPTION"), std::string::npos);
  EXPECT_EQ(Htadm({}).exitStatus, 1);
}

TEST(HtadmTest, DescriptionsAndForeignLinesAreKept) {
  TempDir dir("cfgout-htadm");
  const std::string f = dir.Write("p", "# kept comment\nold:$apr1$legacy\n");
  ::chmod(f.c_str(), 0640);
  ASSERT_EQ(Htadm({"Q-adduser", f, "ann", "pw", "Ann: the admin"}).exitStatus, 0);
  ASSERT_EQ(Htadm({"Q-adduser", f, "bob", "pw", "Bob"}).exitStatus, 0);
  std::string text = dir.Read("p");
  EXPECT_EQ(text.find("# kept comment\nold:$apr1$legacy\n#desc:ann:Ann: the admin\nann:$2b$"), 0u) << text;
  EXPECT_NE(text.find("\n#desc:bob:Bob\nbob:$2b$"), std::string::npos) << text;
  EXPECT_EQ(text.find("pw\n"), std::string::npos);
  ASSERT_EQ(Htadm({"Q-deluser", f, "ann"}).exitStatus, 0);
  text = dir.Read("p");
  EXPECT_EQ(text.find("# kept comment\nold:$apr1$legacy\n#desc:bob:Bob\nbob:$2b$"), 0u) << text;
  // The group bits stay, nothing for others.
  struct stat st {};
  ::stat(f.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(HtadmTest, ConcurrentChangesAllLandAndALinkStaysALink) {
  TempDir dir("cfgout-htadm");
  const std::string real = dir / "real.passwd";
  const std::string link = dir / "link.passwd";
  ASSERT_EQ(Htadm({"Q-create", real}).exitStatus, 0);
  std::filesystem::create_symlink(real, link);
  std::vector<std::thread> writers;
  for (int i = 0; i < 8; ++i) {
    writers.emplace_back([&, i] { Htadm({"Q-adduser", link, "u" + std::to_string(i), "pw", "d"}); });
  }
  for (std::thread& t : writers) t.join();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Htadm({"Q-check", real, "u" + std::to_string(i), "pw"}).exitStatus, 0) << i;
}

// ---- lighttpd reads the file --------------------------------------------------

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

std::string Base64(const std::string& in) {
  static const char* t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < in.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(in[i]) << 16;
    if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
    if (i + 2 < in.size()) v |= static_cast<unsigned char>(in[i + 2]);
    out += t[(v >> 18) & 63];
    out += t[(v >> 12) & 63];
    out += i + 1 < in.size() ? t[(v >> 6) & 63] : '=';
    out += i + 2 < in.size() ? t[v & 63] : '=';
  }
  return out;
}

// The status code of GET / with the credentials, or -1 when nothing answers.
int StatusWith(int port, const std::string& credentials) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  const std::string request = "GET /index.html HTTP/1.0\r\nHost: 127.0.0.1\r\nAuthorization: Basic " +
                              Base64(credentials) + "\r\n\r\n";
  (void)::write(fd, request.data(), request.size());
  char buffer[64] = {};
  const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
  ::close(fd);
  return n > 12 ? std::atoi(buffer + 9) : -1;
}

TEST(HtadmTest, LighttpdBasicAuthenticationAcceptsTheFile) {
  TempDir dir("cfgout-htadm");
  const std::string f = dir / "webadmin.passwd";
  ASSERT_EQ(Htadm({"Q-create", f}).exitStatus, 0);
  ASSERT_EQ(Htadm({"Q-adduser", f, "ann", "right pw", "Ann"}).exitStatus, 0);
  ASSERT_EQ(Htadm({"Q-adduser", f, "bob", "bob-pw", "Bob"}).exitStatus, 0);
  dir.Write("htdocs/index.html", "hello\n");
  const int port = FreePort();
  const std::string conf = dir.Write(
      "lighttpd.conf", "server.modules = ( \"mod_auth\", \"mod_authn_file\" )\n"
                       "server.bind = \"127.0.0.1\"\nserver.port = " + std::to_string(port) + "\n"
                       "server.document-root = \"" + dir / "htdocs" + "\"\n"
                       "server.errorlog = \"" + dir / "error.log" + "\"\n"
                       "auth.backend = \"htpasswd\"\nauth.backend.htpasswd.userfile = \"" + f + "\"\n"
                       "auth.require = ( \"/\" => ( \"method\" => \"basic\", \"realm\" => \"admin\", "
                       "\"require\" => \"valid-user\" ) )\n");
  const pid_t server = ::fork();
  ASSERT_GE(server, 0);
  if (server == 0) {
    ::execl("/usr/sbin/lighttpd", "lighttpd", "-D", "-f", conf.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = -1;
  for (int i = 0; i < 200 && status < 0; ++i) {
    status = StatusWith(port, "ann:right pw");
    if (status < 0) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  EXPECT_EQ(status, 200);
  EXPECT_EQ(StatusWith(port, "ann:wrong"), 401);
  EXPECT_EQ(StatusWith(port, "bob:bob-pw"), 200);
  EXPECT_EQ(StatusWith(port, "#desc:ann"), 401);
  // Changes count at once: the server reads the file on each request.
  ASSERT_EQ(Htadm({"Q-passwd", f, "bob", "new"}).exitStatus, 0);
  EXPECT_EQ(StatusWith(port, "bob:bob-pw"), 401);
  EXPECT_EQ(StatusWith(port, "bob:new"), 200);
  ASSERT_EQ(Htadm({"Q-deluser", f, "bob"}).exitStatus, 0);
  EXPECT_EQ(StatusWith(port, "bob:new"), 401);
  ::kill(server, SIGTERM);
  ::waitpid(server, nullptr, 0);
}

}  // namespace
}  // namespace cfgout::testing

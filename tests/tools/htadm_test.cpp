// htadm as a black box: exit statuses, messages, the file it leaves (private,
// no password in it), and lighttpd's basic authentication accepting that file.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "cgi/cgi_runner.h"
#include "support/temp_dir.h"

namespace cfgout::testing {
namespace {

CgiResult Htadm(std::vector<std::string> args) {
  args.insert(args.begin(), CFGOUT_HTADM);
  return RunCommand(args, {});
}

TEST(HtadmTest, CommandsAndExitStatus) {
  TempDir dir("cfgout-htadm");
  const std::string f = dir / "users.passwd";
  // Arguments, exit status, standard error ("" for none; F names the file, D the folder).
  struct Step { std::vector<std::string> args; int status; std::string err; };
  const std::string badName = "htadm: a user name must not be empty, start with # or hold : or a line break\n";
  const std::vector<Step> steps = {
      {{"Q-check", f, "ann", "pw"}, 3, "htadm: cannot read F: No such file or directory\n"},
      {{"Q-create", f}, 0, ""},
      {{"Q-create", f}, 8, "htadm: F exists already\n"},
      {{"Q-adduser", f, "ann", "secret one", "Ann, admin"}, 0, ""},
      {{"Q-adduser", f, "ann", "other", "x"}, 4, "htadm: user ann exists already in F\n"},
      {{"Q-adduser", f, "bob", "b-pw", ""}, 0, ""},
      {{"Q-adduser", f, "a:b", "pw", "x"}, 2, badName}, {{"Q-adduser", f, "a\nb", "pw", "x"}, 2, badName},
      {{"Q-adduser", f, "#x", "pw", "x"}, 2, badName},
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
    if (const std::size_t at = err.find(" F"); at != std::string::npos) err.replace(at + 1, 1, f);
    if (const std::size_t at = err.find(" D/"); at != std::string::npos) err.replace(at + 1, 1, dir.path());
    EXPECT_EQ(r.exitStatus, s.status) << s.args[0] << " " << (s.args.size() > 2 ? s.args[2] : "");
    EXPECT_EQ(r.err, err) << s.args[0];
    EXPECT_EQ(r.out, "") << s.args[0];
  }
  // Only bob is left, with no description; nothing readable by others; no
  // password in the file.
  const std::string text = dir.Read("users.passwd");
  EXPECT_EQ(text.rfind("bob:$2b$10$", 0), 0u) << text;
  EXPECT_EQ(text.size(), std::string("bob:").size() + 60 + 1) << text;
  EXPECT_EQ(std::filesystem::status(f).permissions(), std::filesystem::perms(0600));
  const CgiResult help = Htadm({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.out.find("Q-adduser FILE USER PASSWORD DESCRIPTION"), std::string::npos);
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
  EXPECT_EQ(std::filesystem::status(f).permissions(), std::filesystem::perms(0640));  // group bits stay
}

TEST(HtadmTest, ConcurrentChangesAllLandAndALinkStaysALink) {
  TempDir dir("cfgout-htadm");
  const std::string real = dir / "real.passwd", link = dir / "link.passwd";
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

// The loopback address with `port` (0: any free one).
sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

// The status code of GET with the credentials (user:password in base64), or -1 when nothing answers.
int StatusWith(int port, const std::string& base64) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr = Loopback(port);
  const std::string request = "GET /index.html HTTP/1.0\r\nHost: 127.0.0.1\r\nAuthorization: Basic " + base64 + "\r\n\r\n";
  char buffer[64] = {};
  const bool sent = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                    ::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size());
  const ssize_t n = sent ? ::read(fd, buffer, sizeof buffer - 1) : 0;
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
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr = Loopback(0);
  socklen_t len = sizeof addr;
  ::bind(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(probe);
  const int port = ntohs(addr.sin_port);
  const std::string conf = dir.Write(
      "lighttpd.conf", "server.modules = ( \"mod_auth\", \"mod_authn_file\" )\nserver.bind = \"127.0.0.1\"\nserver.port = " +
                           std::to_string(port) + "\nserver.document-root = \"" + dir / "htdocs" + "\"\nserver.errorlog = \"" +
                           dir / "error.log" + "\"\nauth.backend = \"htpasswd\"\nauth.backend.htpasswd.userfile = \"" + f +
                           "\"\nauth.require = ( \"/\" => ( \"method\" => \"basic\", \"realm\" => \"admin\", "
                           "\"require\" => \"valid-user\" ) )\n");
  const pid_t server = ::fork();
  ASSERT_GE(server, 0);
  if (server == 0) {
    ::execl("/usr/sbin/lighttpd", "lighttpd", "-D", "-f", conf.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  for (int i = 0; i < 200 && StatusWith(port, "") < 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  // Changes count at once. Credentials: ann:right pw, ann:wrong, bob:bob-pw, #desc:ann, bob:new.
  struct Step { std::vector<std::string> change; const char* base64; int status; };
  for (const Step& s : {Step{{}, "YW5uOnJpZ2h0IHB3", 200}, Step{{}, "YW5uOndyb25n", 401}, Step{{}, "Ym9iOmJvYi1wdw==", 200},
                        Step{{}, "I2Rlc2M6YW5u", 401}, Step{{"Q-passwd", f, "bob", "new"}, "Ym9iOmJvYi1wdw==", 401},
                        Step{{}, "Ym9iOm5ldw==", 200}, Step{{"Q-deluser", f, "bob"}, "Ym9iOm5ldw==", 401}}) {
    ASSERT_TRUE(s.change.empty() || Htadm(s.change).exitStatus == 0) << s.change[0];
    EXPECT_EQ(StatusWith(port, s.base64), s.status) << s.base64;
  }
  ::kill(server, SIGTERM);
  ::waitpid(server, nullptr, 0);
}

}  // namespace
}  // namespace cfgout::testing

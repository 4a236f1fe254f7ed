#include "config/directive_names.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace cfgout {
namespace {

TEST(Keywords, TableShapeAndLookups) {
  EXPECT_EQ(RULESTR[kRuleCount], nullptr);
  int count = 0;
  while (RULESTR[count] != nullptr) ++count;
  EXPECT_EQ(count, 246);
  // Spot checks along the whole table fix the identifier assignment.
  EXPECT_STREQ(RULESTR[0], "<application>");
  EXPECT_STREQ(RULESTR[62], "definepicsrule");
  EXPECT_STREQ(RULESTR[63], "definepicsrule");
  EXPECT_STREQ(RULESTR[65], "defineserviceinfo");
  EXPECT_STREQ(RULESTR[66], "defineserviceinfo");
  EXPECT_STREQ(RULESTR[111], "ftpurlpath");
  EXPECT_STREQ(RULESTR[112], "ftp_proxy");
  EXPECT_STREQ(RULESTR[114], "gc advisor");
  EXPECT_STREQ(RULESTR[123], "hostname");
  EXPECT_STREQ(RULESTR[124], "headerservername");
  EXPECT_STREQ(RULESTR[185], "proxy advisor");
  EXPECT_STREQ(RULESTR[195], "rcaconfigfile");
  EXPECT_STREQ(RULESTR[234], "transparentproxy");
  EXPECT_STREQ(RULESTR[235], "transmogrifier");
  EXPECT_STREQ(RULESTR[245], "welcome");
  for (int id = 0; id < kRuleCount; ++id) {
    const std::string k = RULESTR[id];
    for (char c : k) EXPECT_FALSE(c >= 'A' && c <= 'Z') << k;
    // Every keyword maps back to itself, or to its first occurrence.
    const int back = HTTPDRuleToID(k.c_str());
    EXPECT_TRUE(back == id || (id == 63 && back == 62) || (id == 66 && back == 65)) << k;
  }

  EXPECT_EQ(HTTPDRuleToID("PORT"), 178);
  EXPECT_EQ(HTTPDRuleToID("pOrT"), 178);
  EXPECT_EQ(HTTPDRuleToID("por"), -1);
  EXPECT_EQ(HTTPDRuleToID("portx"), -1);
  EXPECT_EQ(HTTPDRuleToID(""), -1);
  EXPECT_EQ(HTTPDRuleToID(static_cast<const char*>(nullptr)), -1);
  EXPECT_EQ(HTTPDRuleToID("DefinePicsRule"), 62);
  EXPECT_EQ(HTTPDRuleToID("DefineServiceInfo"), 65);
  EXPECT_EQ(HTTPDRuleToID("GC ADVISOR"), 114);
  EXPECT_EQ(HTTPDRuleToID(std::string("Welcome")), 245);

  EXPECT_EQ(HTTPDIDToRule(-1), nullptr);
  EXPECT_EQ(HTTPDIDToRule(246), nullptr);
  EXPECT_STREQ(HTTPDIDToRule(63), "definepicsrule");
  EXPECT_EQ(HTTPDIDToRule(178), RULESTR[178]);
}

TEST(RuleMatch, PortLines) {
  const int port = HTTPDRuleToID("port");
  EXPECT_EQ(HTTPDRuleMatch("   port   80\n", port), 1);
  EXPECT_EQ(HTTPDRuleMatch("PORT 80\r\n", port), 1);
  EXPECT_EQ(HTTPDRuleMatch("\t\r\nPort\n", port), 1);
  EXPECT_EQ(HTTPDRuleMatch("Port", port), 1);
  EXPECT_EQ(HTTPDRuleMatch("#Port 80\n", port), 0);
  EXPECT_EQ(HTTPDRuleMatch("Port80\n", port), 0);
  EXPECT_EQ(HTTPDRuleMatch("Portx 80\n", port), 0);
  EXPECT_EQ(HTTPDRuleMatch("Port#80\n", port), 0);
  EXPECT_EQ(HTTPDRuleMatch("Por 80\n", port), 0);
  EXPECT_EQ(HTTPDRuleMatch("\n", port), 0);
  EXPECT_EQ(HTTPDRuleMatch("Port 80\n", -1), 0);
  EXPECT_EQ(HTTPDRuleMatch("Port 80\n", 246), 0);
  EXPECT_EQ(HTTPDRuleMatch(static_cast<const char*>(nullptr), port), 0);
  EXPECT_EQ(HTTPDRuleMatch(std::string("port 1"), port), 1);
}

TEST(RuleMatch, TwoWordKeywords) {
  const int gc = HTTPDRuleToID("gc");
  const int gcAdvisor = HTTPDRuleToID("gc advisor");
  const int proxy = HTTPDRuleToID("proxy");
  const int proxyAdvisor = HTTPDRuleToID("proxy advisor");
  const char* advisorLine = "GC Advisor /lib/plugin.so:init\n";
  EXPECT_EQ(HTTPDRuleMatch(advisorLine, gcAdvisor), 1);
  EXPECT_EQ(HTTPDRuleMatch(advisorLine, gc), 0);
  EXPECT_EQ(HTTPDRuleMatch("Gc On\n", gc), 1);
  EXPECT_EQ(HTTPDRuleMatch("Gc On\n", gcAdvisor), 0);
  EXPECT_EQ(HTTPDRuleMatch("GC  Advisor x\n", gc), 1);
  EXPECT_EQ(HTTPDRuleMatch("GC  Advisor x\n", gcAdvisor), 0);
  EXPECT_EQ(HTTPDRuleMatch("GC\tAdvisor x\n", gcAdvisor), 0);
  EXPECT_EQ(HTTPDRuleMatch("gc advisor\n", gcAdvisor), 1);
  EXPECT_EQ(HTTPDRuleMatch("gc advisorx\n", gcAdvisor), 0);
  EXPECT_EQ(HTTPDRuleMatch("gc advisorx\n", gc), 1);
  EXPECT_EQ(HTTPDRuleMatch("gc", gcAdvisor), 0);
  EXPECT_EQ(HTTPDRuleMatch("Proxy Advisor /x.so\n", proxyAdvisor), 1);
  EXPECT_EQ(HTTPDRuleMatch("Proxy Advisor /x.so\n", proxy), 0);
  EXPECT_EQ(HTTPDRuleMatch("Proxy http://* \n", proxy), 1);
  EXPECT_EQ(HTTPDRuleMatch("Proxy http://* \n", proxyAdvisor), 0);
}

TEST(Tokens, MatchAndNext) {
  EXPECT_EQ(TokenMatch("  Port 80", "port"), 1);
  EXPECT_EQ(TokenMatch("Port#x", "PORT 1"), 1);
  EXPECT_EQ(TokenMatch("Port", "Ports"), 0);
  EXPECT_EQ(TokenMatch("   ", "   "), 0);
  EXPECT_EQ(TokenMatch("#a", "#a"), 0);
  EXPECT_EQ(TokenMatch(nullptr, "a"), 0);

  EXPECT_EQ(TokenNext("abc#def ghi"), nullptr);
  const char* s = "  abc   def";
  EXPECT_EQ(TokenNext(s), s + 8);
  EXPECT_EQ(TokenNext("abc"), nullptr);
  EXPECT_EQ(TokenNext("abc   "), nullptr);
  EXPECT_EQ(TokenNext("abc  # c"), nullptr);
  EXPECT_EQ(TokenNext("  # abc def"), nullptr);
  EXPECT_EQ(TokenNext(static_cast<const char*>(nullptr)), nullptr);
  EXPECT_STREQ(TokenNext("Port\t80\n"), "80\n");
  const std::string line = "Map /a /b\n";
  EXPECT_EQ(TokenNext(line), line.c_str() + 4);
}

TEST(Tokens, RuleSameAndRuleFound) {
  EXPECT_EQ(RuleSame("Port   80   # old\n", "port 80"), 1);
  EXPECT_EQ(RuleSame("  Port 80\r\n", "PORT\t80\n"), 1);
  EXPECT_EQ(RuleSame("Port 80\n", "Port 80 81\n"), 0);
  EXPECT_EQ(RuleSame("Port 80 81\n", "Port 80\n"), 0);
  EXPECT_EQ(RuleSame("\n", "\n"), 0);
  EXPECT_EQ(RuleSame("# x\n", "# x\n"), 0);
  EXPECT_EQ(RuleSame("Port 80#c\n", "port 80"), 1);
  EXPECT_EQ(RuleSame(nullptr, "a"), 0);
  EXPECT_EQ(RuleSame(std::string("a b"), std::string("A B")), 1);

  LineList list = LineList::FromTexts({"Gc On\n", "Port 8080\n", "port 80 # second\n", "port 80\n"});
  EXPECT_EQ(RuleFound("Port 80\n", list.first()), list.first()->next->next);
  EXPECT_EQ(RuleFound(std::string("gc on"), list), list.first());
  EXPECT_EQ(RuleFound("Port 81\n", list.first()), nullptr);
  EXPECT_EQ(RuleFound(nullptr, list.first()), nullptr);
  EXPECT_EQ(RuleFound("Port 80", nullptr), nullptr);
}

TEST(Fields, GetFieldAndPointToNextField) {
  EXPECT_EQ(GetField("Map /a/* /b/*", 3), "/b/*");
  EXPECT_EQ(GetField("Map", 2), "");
  EXPECT_EQ(GetField(static_cast<const char*>(nullptr), 1), "");
  EXPECT_EQ(GetField("  Port\t80 # web\r\n", 0), "Port");
  EXPECT_EQ(GetField("  Port\t80 # web\r\n", 1), "Port");
  EXPECT_EQ(GetField("  Port\t80 # web\r\n", 2), "80");
  EXPECT_EQ(GetField("Port 80 # web\n", 3), "#");
  EXPECT_EQ(GetField("Port 80 # web\n", 4), "web");
  EXPECT_EQ(GetField("Port 80 # web\n", 5), "");
  EXPECT_EQ(GetField("", 1), "");
  EXPECT_EQ(GetField("\"quoted value\"", 2), "value\"");
  // Results are values: earlier fields stay valid across later calls.
  const std::string first = GetField(std::string("a b c"), 1);
  const std::string third = GetField(std::string("a b c"), 3);
  EXPECT_EQ(first + third, "ac");

  const char* s = "  Map   /a/*  /b/*";
  EXPECT_EQ(PointToNextField(s), s + 8);
  EXPECT_STREQ(PointToNextField("Port 80\n"), "80\n");
  EXPECT_STREQ(PointToNextField("Port\n"), "");
  EXPECT_STREQ(PointToNextField("Port  \t"), "");
  EXPECT_STREQ(PointToNextField("\tA\tB"), "B");
  EXPECT_EQ(PointToNextField(static_cast<const char*>(nullptr)), nullptr);
}

TEST(Fields, ConvertChars) {
  std::string s = "a\r\nb\nc";
  EXPECT_EQ(ConvertChars(s, "\r\n", ' '), 0);
  EXPECT_EQ(s, "a  b c");
  std::string t = "/a/* {\r\n";
  ConvertChars(t, " \r\n{", '\0');
  EXPECT_EQ(t, "/a/*");
  char buf[] = "x,y,z";
  ConvertChars(buf, ",", ';');
  EXPECT_STREQ(buf, "x;y;z");
  char cut[] = "ab{cd";
  ConvertChars(cut, "{", '\0');
  EXPECT_STREQ(cut, "ab");
  // A replacement character that is itself in the set is replaced once, no loop.
  std::string same = "a b";
  ConvertChars(same, " ", ' ');
  EXPECT_EQ(same, "a b");
  EXPECT_EQ(ConvertChars(static_cast<char*>(nullptr), "x", 'y'), 0);
}

}  // namespace
}  // namespace cfgout

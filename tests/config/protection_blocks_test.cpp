#include "config/protection_blocks.h"

#include <functional>

#include "config/temp_files.h"

namespace cfgout {
namespace {

using namespace testing;

TEST(GetProtectRule, RecordsAsRead) {
  struct Row { const char* what; Lines files; const char* name; std::optional<ProtectionRecord> expected; };
  const Row cases[] = {
      {"one-line rule", {"Protect /admin/* ADMIN\n"}, "/admin/*",
       ProtectionRecord{.keyword = "Protect", .urlTemplate = "/admin/*", .setupName = "ADMIN", .forAddress = ""}},
      {"words end at blanks and comments only", {"Protect /~a@b/* S@x FOR 10.*#c\n"}, "/~A@B/*",
       ProtectionRecord{.keyword = "Protect", .urlTemplate = "/~a@b/*", .setupName = "S@x", .forAddress = "10.*"}},
      {"one-line rule with FOR", {"# c\nprotect /admin/* ADMIN FOR 10.*\n"}, "/ADMIN/*",
       ProtectionRecord{.keyword = "protect", .urlTemplate = "/admin/*", .setupName = "ADMIN", .forAddress = "10.*"}},
      {"a setup is found by its name, not by a rule naming it",
       {"Protect /x/* ADMIN\nProtection ADMIN {\n  UserID nobody\n  CommonName \"A B\"\n  Port 80\n}\nMask x\n"}, "ADMIN",
       ProtectionRecord{.keyword = "Protection", .setupName = "ADMIN", .UserID = "nobody\n", .CommonName = "A B"}},
      {"inline block with an address as its third word", {"Protect /a/* 10.* {\n GetMask All # all\n}\n"}, "/a/*",
       ProtectionRecord{.keyword = "Protect", .urlTemplate = "/a/*", .forAddress = "10.*", .GetMask = "All # all\n"}},
      {"inline block with FOR and address", {"Protect /a/* FOR 10.* {\n}\n"}, "/a/*",
       ProtectionRecord{.keyword = "Protect", .urlTemplate = "/a/*", .forAddress = "10.*"}},
      {"block in an included file",
       {"Pass /*\n", "Protect /b/* {\r\n  AuthType Basic\r\n  PasswdFile \"/etc/a b.pw\"\r\n}\r\n"}, "/b/*",
       ProtectionRecord{.keyword = "Protect", .urlTemplate = "/b/*", .AuthType = "Basic\r\n", .PasswdFile = "\"/etc/a b.pw\"\r\n"}},
      {"later line wins, empty values, client authentication",
       {"Protection P {\n Mask A\n mask B\n UserID\n SSL_ClientAuth client\n Country\n Locality \"\"\"\n"
        " OrgUnit \"x\"\n}\n"}, "p",
       ProtectionRecord{.keyword = "Protection", .setupName = "P", .Mask = "B\n", .sslClientAuth = "1",
                        .Country = " ", .Locality = " ", .OrgUnit = "x"}},
      {"a block without its closing line ends with its file", {"Protection P {\n Mask All\n", "GetMask X\n}\n"}, "P",
       ProtectionRecord{.keyword = "Protection", .setupName = "P", .Mask = "All\n", .unclosedBlock = true}},
      {"a block on one line reads nothing after it", {"Protection P { }\nMask All\n}\n"}, "P",
       ProtectionRecord{.keyword = "Protection", .setupName = "P"}},
      {"a mapping rule with the same second word is no protection", {"Fail /a/*\nProtect /a/* A\n"}, "/a/*",
       ProtectionRecord{.keyword = "Protect", .urlTemplate = "/a/*", .setupName = "A", .forAddress = ""}},
      {"nothing of that name", {"Protect /a/* A\n"}, "/b/*", std::nullopt},
      {"no name", {"Protect /a/* A\n"}, nullptr, std::nullopt},
  };
  for (const Row& c : cases) {
    auto cfg = MakeConfig(c.files);
    EXPECT_EQ(HTTPDGetProtectRule(*cfg, c.name), c.expected) << c.what;
    EXPECT_EQ(FileImages(*cfg), c.files) << c.what;  // reading changes nothing
  }
}

TEST(PutRules, LinesAndPlaces) {
  using Put = std::function<int(ConfigHandle&)>;
  auto protect = [](ProtectionRecord r, const char* name, int mode) -> Put {
    return [=](ConfigHandle& c) { return HTTPDPutProtectRule(c, &r, name, mode); };
  };
  const MemberRecord m{.name = "m2", .RCAAddr = "10.0.0.2", .RCAPort = "7000", .reserved = "not written",
                       .Timeout = "500", .BindSpecific = "On", .ReuseAddr = "Off"};
  auto member = [&m](const char* name, int mode) -> Put {
    return [=](ConfigHandle& c) { return HTTPDPutMemberRule(c, &m, name, mode); };
  };
  const std::string n = "Member m2 {\n     RCAAddr 10.0.0.2\n     RCAPort 7000\n     Timeout 500 milliseconds\n"
                        "     BindSpecific On\n     ReuseAddr Off\n}\n";
  const ProtectionRecord named{.keyword = "Protect", .urlTemplate = "/n/*", .setupName = "N"};
  const ProtectionRecord inlined{.keyword = "Protect", .urlTemplate = "/n/*", .Mask = "All"};
  const ProtectionRecord setup{.keyword = "Protection", .setupName = "S", .GetMask = "All@(*)"};
  struct Row { const char* what; Lines files; Put put; Lines expected; };
  const Row cases[] = {
      {"one line before the rule named", {"Pass /x\nProtect /b/* B\n"}, protect(named, "/b/*", 1),
       {"Pass /x\nProtect  /n/*  N\nProtect /b/* B\n"}},
      {"one line with FOR after a one-line rule", {"Protect /b/* B\nPass /x\n"},
       protect({.keyword = "Protect", .urlTemplate = "/n/*", .setupName = "N", .forAddress = "10.*", .Mask = "ignored"}, "/b/*", 2),
       {"Protect /b/* B\nProtect  /n/*  N  FOR 10.*\nPass /x\n"}},
      {"an empty address still writes FOR", {"Protect /b/* B\n"},
       protect({.keyword = "Protect", .urlTemplate = "/n/*", .setupName = "N", .forAddress = ""}, "/b/*", 1),
       {"Protect  /n/*  N  FOR \nProtect /b/* B\n"}},
      {"inline block after a block, in an included file", {"Pass /x\n", "Protect /b/* {\n Mask B\n}\n# end\n"},
       protect(inlined, "/b/*", 2), {"Pass /x\n", "Protect /b/* {\n Mask B\n}\nProtect  /n/*  {\n      Mask         All\n}\n# end\n"}},
      {"inline block with an address, before the first line of a file", {"Port 80\n", "Protect /b/* B\n"},
       protect({.keyword = "Protect", .urlTemplate = "/n/*", .forAddress = "10.*", .Mask = "All"}, "/b/*", 1),
       {"Port 80\n", "Protect  /n/*  10.*  {\n      Mask         All\n}\nProtect /b/* B\n"}},
      {"edit in place", {"A 1\nProtect /b/* {\n Mask B\n}\nZ 2\n"}, protect(named, "/b/*", 3),
       {"A 1\nProtect  /n/*  N\nZ 2\n"}},
      {"edit of the first line of an included file", {"Port 80\n", "Protect /b/* B\nZ 2\n"},
       protect(inlined, "/b/*", 3), {"Port 80\n", "Protect  /n/*  {\n      Mask         All\n}\nZ 2\n"}},
      {"edit of nothing goes to the top of the main file", {"Port 80\n", "Z 2\n"}, protect(named, "/b/*", 3),
       {"Protect  /n/*  N\nPort 80\n", "Z 2\n"}},
      {"new setup above the comments over the first mapping rule", {"Port 80\n# mapping\n# rules\nPass /*\nPass /b\n"},
       protect(setup, "S", 1),
       {"Port 80\nProtection  S  {\n      GetMask      All@(*)\n}\n# mapping\n# rules\nPass /*\nPass /b\n"}},
      {"new setup before the first Protect rule", {"Port 80\nProtect /a/* A\nPass /*\n"}, protect(setup, "S", 2),
       {"Port 80\nProtection  S  {\n      GetMask      All@(*)\n}\nProtect /a/* A\nPass /*\n"}},
      {"a setup replaces the one of its name in every mode", {"Port 80\n", "X 1\nProtection S {\n Mask x\n}\nY 2\n"},
       protect(setup, "S", 1), {"Port 80\n", "X 1\nProtection  S  {\n      GetMask      All@(*)\n}\nY 2\n"}},
      {"a replaced setup that stood first keeps its file", {"Pass /*\n", "Protection S {\n}\nY 2\n"},
       protect(setup, "S", 2), {"Pass /*\n", "Protection  S  {\n      GetMask      All@(*)\n}\nY 2\n"}},
      {"a new rule goes to the last file, before its first Protect", {"Protect /a/* A\n", "X 1\nprotect /c/* C\n"},
       protect(named, "/zz/*", 1), {"Protect /a/* A\n", "X 1\nProtect  /n/*  N\nprotect /c/* C\n"}},
      {"a new rule goes to the top of a last file without anchors", {"Pass /*\n", "X 1\n"}, protect(named, nullptr, 2),
       {"Pass /*\n", "Protect  /n/*  N\nX 1\n"}},
      {"a Protection line does not anchor a Protect insert", {"Protection /b/* {\n}\nProtect /b/* B\n"},
       protect(named, "/b/*", 1), {"Protection /b/* {\n}\nProtect  /n/*  N\nProtect /b/* B\n"}},
      {"values are written up to their line end", {"Port 80\n"},
       protect({.keyword = "Protect", .urlTemplate = "/n/*", .Mask = "All\nPort 99\n"}, "/x/*", 3),
       {"Protect  /n/*  {\n      Mask         All\n}\nPort 80\n"}},
      {"after the last member block", {"A 1\nMember m1 {\n x\n}\nB 2\n"}, member("zz", 1),
       {"A 1\nMember m1 {\n x\n}\n" + n + "B 2\n"}},
      {"at the end without member blocks", {"A 1\n", "B 2\n"}, member("zz", 1), {"A 1\n", "B 2\n" + n}},
      {"after the block named, mode 2", {"Member m1 {\n}\nMember m3 {\n}\n"}, member("m1", 2),
       {"Member m1 {\n}\n" + n + "Member m3 {\n}\n"}},
      {"before the block named, mode 1", {"A 1\nMember m1 {\n}\n"}, member("m1", 1),
       {"A 1\n" + n + "Member m1 {\n}\n"}},
      {"mode 1 on a first line goes after it", {"Member m1 {\n}\n"}, member("m1", 1), {"Member m1 {\n" + n + "}\n"}},
      {"replace in place", {"A 1\nA 2\nMember m2 {\n old\n}\nB 2\n"}, member("m2", 3), {"A 1\nA 2\n" + n + "B 2\n"}},
      {"replace of nothing appends to the main file", {"A 1\n", "B 2\n"}, member("m2", 3), {"A 1\n" + n, "B 2\n"}},
  };
  for (const Row& c : cases) {
    auto cfg = MakeConfig(c.files);
    EXPECT_EQ(c.put(*cfg), 1) << c.what;
    EXPECT_EQ(FileImages(*cfg), c.expected) << c.what;
  }
}

TEST(PutProtectRule, EveryFieldInItsPlaceAndOrder) {
  const ProtectionRecord all{
      .keyword = "Protect", .urlTemplate = "/all/*", .UserID = "u", .forAddress = "10.*", .GroupID = "g",
      .ServerID = "srv", .AuthType = "Basic", .GetMask = "gm", .PutMask = "pm", .PostMask = "om", .Mask = "m",
      .ACLOverride = "On", .PasswdFile = "/p.pw", .GroupFile = "/g.grp", .DeleteMask = "dm", .sslClientAuth = "1",
      .CommonName = "c n", .IssuerCommonName = "icn", .Country = "co", .IssuerCountry = "ico", .Locality = "l",
      .IssuerLocality = "il", .StateOrProvince = "s", .IssuerStateOrProvince = "is", .Organization = "o",
      .IssuerOrganization = "io", .OrgUnit = "ou", .IssuerOrgUnit = "iou"};
  auto cfg = MakeConfig({"Port 80\n"});
  ASSERT_EQ(HTTPDPutProtectRule(*cfg, &all, nullptr, 3), 1);
  EXPECT_EQ(FileImages(*cfg)[0], "Protect  /all/*  10.*  {\n"
            "      IssuerOrgUnit   iou\n      OrgUnit   ou\n      IssuerOrganization   io\n"
            "      Organization   o\n      IssuerStateOrProvince   is\n      StateOrProvince   s\n"
            "      IssuerLocality   il\n      Locality   l\n      IssuerCountry   ico\n      Country   co\n"
            "      IssuerCommonName   icn\n      CommonName   \"c n\"\n      SSL_ClientAuth  client\n"
            "      GroupFile    /g.grp\n      PasswdFile   /p.pw\n      ACLOverride  On\n      Mask         m\n"
            "      DeleteMask   dm\n      PostMask     om\n      PutMask      pm\n      GetMask      gm\n"
            "      AuthType     Basic\n      ServerID     srv\n      GroupID      g\n      UserID       u\n" "}\n"
            "Port 80\n");

  // Read back: the same record, once the values' line ends are cut.
  std::optional<ProtectionRecord> back = HTTPDGetProtectRule(*cfg, "/all/*");
  ASSERT_TRUE(back);
  for (ProtectionField f : kProtectionFields) if ((*back).*f) StripCRLF(*((*back).*f));
  EXPECT_EQ(*back, all);

}

TEST(PutRules, RefusedRecordsChangeNothing) {
  const Lines files{"Protect /b/* B\n"};
  auto cfg = MakeConfig(files);
  EXPECT_EQ(HTTPDPutProtectRule(*cfg, nullptr, "/b/*", 3), 1);
  const ProtectionRecord noKeyword{.urlTemplate = "/n/*"};
  EXPECT_EQ(HTTPDPutProtectRule(*cfg, &noKeyword, "/b/*", 3), 2);
  const ProtectionRecord noName{.keyword = "Protect", .Mask = "All"};
  EXPECT_EQ(HTTPDPutProtectRule(*cfg, &noName, "/b/*", 3), 3);
  const MemberRecord unnamed{.RCAAddr = "x"};
  EXPECT_EQ(HTTPDPutMemberRule(*cfg, nullptr, "m", 1) + HTTPDPutMemberRule(*cfg, &unnamed, "m", 1), 0);
  EXPECT_EQ(FileImages(*cfg), files);
}

TEST(DeleteProtectRule, RulesAndBlocks) {
  // The line returned (null for none) and the index of the file reported (-1 for none).
  struct Row { const char* what; Lines files; const char* name; Lines expected; const char* before; int fileIndex; };
  const Row cases[] = {
      {"one-line rule", {"A 1\nProtect /a/* A\nB 2\n"}, "/a/*", {"A 1\nB 2\n"}, "A 1\n", 0},
      {"block in an included file, first line", {"A 1\n", "Protect /a/* {\n Mask x\n}\nB 2\n"}, "/a/*",
       {"A 1\n", "B 2\n"}, nullptr, 1},
      {"block on one line", {"A 1\nProtection P { Mask x }\nMask y\n}\n"}, "P", {"A 1\nMask y\n}\n"}, "A 1\n", 0},
      {"block without closing line ends with its file", {"A 1\nProtection P {\nMask y\n", "B 2\n}\n"}, "P",
       {"A 1\n", "B 2\n}\n"}, "A 1\n", 0},
      {"a mapping rule of the same name stays", {"Fail /a/*\nProtect /a/* A\n"}, "/a/*", {"Fail /a/*\n"}, "Fail /a/*\n",
       0},
      {"nothing of that name", {"Protect /a/* A\n"}, "/b/*", {"Protect /a/* A\n"}, nullptr, -1},
  };
  for (const Row& c : cases) {
    auto cfg = MakeConfig(c.files);
    ConfigFile* where = nullptr;
    LineNode* before = HTTPDDeleteProtectRule(*cfg, c.name, &where);
    EXPECT_EQ(FileImages(*cfg), c.expected) << c.what;
    EXPECT_EQ(before != nullptr ? before->text : "<none>", c.before != nullptr ? c.before : "<none>") << c.what;
    EXPECT_EQ(where, c.fileIndex < 0 ? nullptr : c.fileIndex == 0 ? cfg->first() : cfg->first()->next) << c.what;
  }
}

TEST(DeleteMemberRule, BlocksAndTheLineAfter) {
  auto cfg = MakeConfig({"A m1\nMember m1 {\n RCAPort 1\n}\nB 2\nMember m2 {\n}\n"});
  EXPECT_EQ(HTTPDDeleteMemberRule(*cfg, "M1")->text, "B 2\n");
  EXPECT_FALSE(HTTPDDeleteMemberRule(*cfg, "m2") || HTTPDDeleteMemberRule(*cfg, "m3"));
  EXPECT_EQ(FileImages(*cfg), Lines{"A m1\nB 2\n"});
}

}  // namespace
}  // namespace cfgout

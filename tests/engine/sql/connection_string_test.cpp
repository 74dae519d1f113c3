#include "engine/sql/connection_string.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/core/error.h"
#include "engine/sql/syntax_error.h"

namespace qv::sql {
namespace {

// The Access connection string as the program builds it: the provider follows from the lower-cased
// last five characters of the file name; nothing is escaped.
std::string AccessString(const std::string& file, const std::string& password) {
  std::string last = file.size() >= 5 ? file.substr(file.size() - 5) : file;
  std::transform(last.begin(), last.end(), last.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::string head = last == "accdb" ? "Provider=Microsoft.ACE.OLEDB.12.0;Data Source="
                                           : "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=";
  return head + file + ";JET OLEDB:Database Password=" + password;
}

std::string ParadoxString(const std::string& folder) {
  return "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=" + folder +
         ";Dbq=" + folder + ";CollatingSequence=ASCII;";
}

TEST(AccessConnectionString, ProviderFollowsTheFileName) {
  struct Case {
    std::string file;
    Provider provider;
  };
  for (const Case& c :
       {Case{"/data/Shop.ACCDB", Provider::AccessAce12}, Case{"/data/shop.accdb", Provider::AccessAce12},
        Case{"/data/shop.mdb", Provider::AccessJet4}, Case{"/data/noext", Provider::AccessJet4},
        Case{"/data/x.accdb ", Provider::AccessJet4}, Case{"C:\\Data\\Shop.mdb", Provider::AccessJet4},
        Case{"db", Provider::AccessJet4}}) {
    const ConnectionString cs = ParseConnectionString(AccessString(c.file, "pw"));
    EXPECT_EQ(cs.provider, c.provider) << c.file;
    EXPECT_EQ(cs.dataSource, c.file);
    EXPECT_EQ(cs.password, "pw");
  }
}

TEST(AccessConnectionString, PasswordsAndPathsComeBackVerbatim) {
  const std::vector<std::string> passwords{
      "",         "secret", "p;w=d", ";",        "x;", "a;Data Source=/evil.mdb",
      "spaces  ", "  lead", "ünï😀",  "'\"`[]{}", "=",  "Password="};
  const std::vector<std::string> files{"/data/shop.mdb",     "/data/a;b.mdb",
                                       "/data/a=b.accdb",    "/data/ä ö/x y.mdb",
                                       "/data/{braced}.mdb", "/data/semi;colon=x;y.accdb"};
  for (const std::string& file : files) {
    for (const std::string& password : passwords) {
      const std::string text = AccessString(file, password);
      SCOPED_TRACE(text);
      const ConnectionString cs = ParseConnectionString(text);
      EXPECT_EQ(cs.dataSource, file);
      EXPECT_EQ(cs.password, password);
      ASSERT_EQ(cs.attributes.size(), 3u);
      EXPECT_EQ(cs.attributes[2].first, "JET OLEDB:Database Password");
    }
  }
  // The code page of Access 97 text comes before the password, which keeps everything after it.
  const ConnectionString cp = ParseConnectionString(
      "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/d/a.mdb;Code Page=936;JET OLEDB:Database "
      "Password=x;Code Page=1");
  EXPECT_EQ(cp.codePage, 936);
  EXPECT_EQ(cp.dataSource, "/d/a.mdb");
  EXPECT_EQ(cp.password, "x;Code Page=1");
  EXPECT_EQ(ParseConnectionString(AccessString("/x.mdb", "")).codePage, 0);
  EXPECT_THROW(ParseConnectionString("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/d/a.mdb;Code Page=cp936"),
               qv::Error);
  // An empty password leaves the string ending in "Password=".
  EXPECT_EQ(AccessString("/x.mdb", "").substr(AccessString("/x.mdb", "").size() - 9), "Password=");
}

TEST(AccessConnectionString, KeysInAnyCaseAndOrderWithBlanks) {
  ConnectionString cs = ParseConnectionString(
      "provider=microsoft.jet.oledb.4.0;data source=/x.mdb;jet oledb:database password=pw");
  EXPECT_EQ(cs.provider, Provider::AccessJet4);
  EXPECT_EQ(cs.dataSource, "/x.mdb");
  EXPECT_EQ(cs.password, "pw");
  cs = ParseConnectionString("  Data Source = /y.accdb; Provider=Microsoft.ACE.OLEDB.12.0");
  EXPECT_EQ(cs.provider, Provider::AccessAce12);
  EXPECT_EQ(cs.dataSource, " /y.accdb");  // values are verbatim, the blank after '=' included
  EXPECT_EQ(cs.password, "");
  EXPECT_EQ(cs.attributes[0].first, "Data Source");
}

TEST(ParadoxConnectionString, FoldersComeBackVerbatim) {
  for (const std::string folder : {"/data/Paradox", "/data/Paradox/", "C:\\Data", "C:\\Data\\",
                                   "/data/it's; odd=folder", "/dätä/日本", "/a}b{c", "/"}) {
    const std::string text = ParadoxString(folder);
    SCOPED_TRACE(text);
    const ConnectionString cs = ParseConnectionString(text);
    EXPECT_EQ(cs.provider, Provider::Paradox);
    EXPECT_EQ(cs.dataSource, folder);
    EXPECT_EQ(cs.driver, "Microsoft Paradox Driver (*.db )");
    EXPECT_EQ(cs.driverId, 538);
    EXPECT_EQ(cs.fileType, "Paradox 5.X");
    EXPECT_EQ(cs.collatingSequence, "ASCII");
    EXPECT_EQ(cs.password, "");
    ASSERT_EQ(cs.attributes.size(), 6u);
    EXPECT_EQ(cs.attributes[0].second, "{Microsoft Paradox Driver (*.db )}");
  }
  // Without braces, in other letter cases, with only one of the folder keys.
  ConnectionString cs = ParseConnectionString("DRIVER=microsoft paradox driver (*.DB );DBQ=/p");
  EXPECT_EQ(cs.provider, Provider::Paradox);
  EXPECT_EQ(cs.dataSource, "/p");
  EXPECT_EQ(cs.driverId, 0);
  cs = ParseConnectionString("Driver={Microsoft Paradox Driver (*.db )};DefaultDir=/q");
  EXPECT_EQ(cs.dataSource, "/q");
}

struct Fault {
  std::string text;
  int number;
  std::string mention;  // a piece of the description
};

TEST(ConnectionStringFaults, ClearErrors) {
  using namespace errc;
  const std::string driver = "Driver={Microsoft Paradox Driver (*.db )};";
  const std::vector<Fault> faults{
      {"", kBadConnectionString, "empty"},
      {"   ", kBadConnectionString, "empty"},
      {"Provider=Microsoft.ACE.OLEDB.16.0;Data Source=/x.accdb", kProviderNotFound,
       "Microsoft.ACE.OLEDB.16.0"},
      {"Provider=SQLOLEDB;Data Source=server", kProviderNotFound, "SQLOLEDB"},
      {"Provider=;Data Source=/x.mdb", kProviderNotFound, "''"},
      {"Provider=Microsoft.Jet.OLEDB.4.0", kBadConnectionString, "Data Source"},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=", kBadConnectionString, "no database file"},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=;JET OLEDB:Database Password=x", kBadConnectionString,
       "no database file"},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/x",
       kBadConnectionString, "twice"},
      {"Data Source=/x.mdb", kBadConnectionString, "'Provider' is missing"},
      {"JET OLEDB:Database Password=x", kBadConnectionString, "'Provider' is missing"},
      {"Server=x;Database=y", kBadConnectionString, "expected 'Provider='"},
      {"Provider", kBadConnectionString, "expected 'Provider='"},
      {"Provider Microsoft.Jet.OLEDB.4.0", kBadConnectionString, "expected 'Provider='"},
      {";Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/x", kBadConnectionString, "expected 'Provider='"},
      {"Driver={Microsoft Paradox Driver (*.db)};Dbq=/x", kProviderNotFound, "(*.db )"},
      {"Driver={Microsoft Access Driver (*.mdb)};Dbq=/x", kProviderNotFound, "Microsoft Access Driver"},
      {"Driver={Microsoft Paradox Driver (*.db );Dbq=/x", kBadConnectionString, "braces is not closed"},
      {"Driver={Microsoft Paradox Driver (*.db )}x;Dbq=/x", kBadConnectionString, "after the closing brace"},
      {driver + "Foo=1;Dbq=/x", kBadConnectionString, "'Foo' is not a key of Paradox"},
      {driver + "DriverID=538", kBadConnectionString, "'Dbq' or 'DefaultDir'"},
      {driver + "Dbq=", kBadConnectionString, "names no folder"},
      {driver + "DefaultDir=/a;Dbq=/b", kBadConnectionString, "different folders"},
      {driver + "DriverID=999;Dbq=/x", kBadConnectionString, "DriverID '999'"},
      {driver + "DriverID=538x;Dbq=/x", kBadConnectionString, "DriverID '538x'"},
      {driver + "Fil=dBase IV;Dbq=/x", kBadConnectionString, "Fil 'dBase IV'"},
      {driver + "Dbq=/x;Dbq=/x", kBadConnectionString, "twice"},
      {"Dbq=/x", kBadConnectionString, "'Driver' is missing"},
  };
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.text);
    try {
      ParseConnectionString(f.text);
      ADD_FAILURE() << "accepted";
    } catch (const qv::Error& e) {
      EXPECT_EQ(e.number(), f.number) << e.description();
      EXPECT_NE(e.description().find(f.mention), std::string::npos) << e.description();
    }
  }
}

TEST(ConnectionStringFaults, PositionIsNamed) {
  try {
    ParseConnectionString("Driver={Microsoft Paradox Driver (*.db )};Mode=Read;Dbq=/x");
    FAIL() << "accepted";
  } catch (const SyntaxError& e) {
    EXPECT_EQ(e.character(), 43u);
    EXPECT_NE(e.description().find("at character 43, near 'Mode=Read;Dbq=/x'"), std::string::npos)
        << e.description();
  }
}

// Values are never escaped, so a ';' ends a value only where a key of the string follows it; an
// unknown key after a plain value becomes part of that value, and the value's own check rejects it.
TEST(ConnectionStringRules, UnknownKeyAfterAPlainValueJoinsIt) {
  try {
    ParseConnectionString("Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Mode=Read;Dbq=/x");
    FAIL() << "accepted";
  } catch (const qv::Error& e) {
    EXPECT_NE(e.description().find("DriverID '538;Mode=Read'"), std::string::npos) << e.description();
  }
}

// A key of the other kind of string is no key here: it stays in the value it follows.
TEST(ConnectionStringRules, KeysOfTheOtherKindAreText) {
  const ConnectionString cs =
      ParseConnectionString("Driver={Microsoft Paradox Driver (*.db )};Dbq=/x;Provider=y");
  EXPECT_EQ(cs.dataSource, "/x;Provider=y");
}

}  // namespace
}  // namespace qv::sql

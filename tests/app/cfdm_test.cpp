#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <sstream>

#include "app/cfd_cipher.h"
#include "app/cfdm_file.h"
#include "app/cli.h"
#include "app/ini_file.h"
#include "app/make_cfd.h"
#include "engine/core/errors.h"
#include "engine/core/text_codec.h"
#include "temp_folder.h"

namespace qd {
namespace {

bool HasTempFiles(const std::string& folder) {
  for (std::string_view n : {CfdmConnectionTemp, CfdmQueryTemp, CfdmDefinitionTemp})
    if (std::filesystem::exists(folder + std::string(n))) return true;
  return false;
}

// A definition folder: a two-line connection file in GB18030 without a final
// line break, a UTF-8 query file with one.
std::string WriteDefinition(const testing::TTempFolder& tmp, std::string_view cube) {
  tmp.Write("conn.txt", Utf8ToAnsi("Provider=SQLite;\r\nData Source=销售.db"));
  tmp.Write("query.sql", "select * from facts\n");
  return tmp.Write("sales.cfd", "[DB]\r\nConnectString=conn.txt\r\nQueryString=query.sql\r\n" +
                                    std::string(cube));
}

}  // namespace

TEST(CfdCipher, RoundTripsAnyTextWithoutZeroBytesInUppercaseHex) {
  std::mt19937 gen(7);
  for (int round = 0; round < 200; ++round) {
    std::string text(1 + gen() % 40, ' '), key(gen() % 9, ' ');
    for (char& c : text) c = static_cast<char>(1 + gen() % 254);
    for (char& c : key) c = static_cast<char>(1 + gen() % 255);
    std::string cipher = EncryptString(text, key);
    ASSERT_EQ(cipher.size(), 2 + 2 * text.size());
    ASSERT_EQ(cipher.find_first_not_of("0123456789ABCDEF"), std::string::npos) << cipher;
    ASSERT_EQ(UnEncryptString(cipher, key), text);
  }
}

TEST(CfdCipher, MatchesWorkedValuesWithModulus255AndTheDefaultKey) {
  // (16 + 'A') mod 255 = 0x51, xor 'q' = 0x20.
  EXPECT_EQ(EncryptString("A", CfdApplicationKey, 0x10), "1020");
  EXPECT_EQ(UnEncryptString("1020", CfdApplicationKey), "A");
  // 200 + 200 wraps at 255 (a modulus of 256 would give 0x10 last).
  EXPECT_EQ(EncryptString("\xC8\xC8", "a", 0), "00A913");
  EXPECT_EQ(UnEncryptString("00a913", "a"), "\xC8\xC8");
  EXPECT_EQ(EncryptString("abcdefghij", "", 99), EncryptString("abcdefghij", "wolkan", 99));
}

TEST(CfdCipher, MalformedCiphertextThrowsOrDecodesItsWholePairs) {
  EXPECT_THROW(UnEncryptString("", "k"), EGenericError);
  EXPECT_THROW(UnEncryptString("AB", "k"), EGenericError);  // only the seed
  EXPECT_THROW(UnEncryptString("ZZ00", "k"), EGenericError);
  EXPECT_THROW(UnEncryptString("00G1", "k"), EGenericError);
  EXPECT_EQ(UnEncryptString("AB1", "k").size(), 1u);  // a one-digit first pair
  std::string cipher = EncryptString("xy", "k");
  EXPECT_EQ(UnEncryptString(cipher + "F", "k"), "xy");  // trailing digit ignored
}

TEST(Cfdm, EncryptedDefinitionMovedElsewhereUnpacksTheSameAndCleansUp) {
  testing::TTempFolder a, b;
  std::string cfd = WriteDefinition(a, "[Cube]\r\nDgRow1=地区\r\n[Other]\r\nOutPutFile=s.vtc\r\n");
  std::string cfdm = CryptCFD(cfd, "/prog/");
  EXPECT_EQ(cfdm, a.Path("sales.cfdm"));
  std::string cipher = *ReadWholeFile(cfdm);
  EXPECT_EQ(cipher.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(AnsiToUtf8(UnEncryptString(cipher, CfdApplicationKey)),
            "---ConnectString---\r\nProvider=SQLite;\r\nData Source=销售.db\r\n"
            "---ConnectString Over---\r\n---QueryString---\r\nselect * from facts\r\n\r\n"
            "---QueryString Over---\r\n---Ini---\r\n[DB]\r\nConnectString=conn.txt\r\n"
            "QueryString=query.sql\r\n[Cube]\r\nDgRow1=地区\r\n[Other]\r\nOutPutFile=s.vtc\r\n"
            "\r\n---Ini Over---\r\n");

  std::filesystem::rename(cfdm, b.Path("moved.cfdm"));
  const TCfdmContents contents = DecodeCfdm(b.Path("moved.cfdm"));
  EXPECT_EQ(contents.Connection, "Provider=SQLite;\r\nData Source=销售.db\r\n");
  EXPECT_EQ(contents.Query, "select * from facts\r\n\r\n");
  ASSERT_TRUE(contents.Definition);
  TIniFile ini;
  ini.SetText(*contents.Definition);
  TCubeDefinition read = ReadCubeDefinition(ini, b.Folder());
  ASSERT_EQ(read.Dimensions.size(), 1u);
  EXPECT_EQ(read.Dimensions[0].FieldName, "地区");
  EXPECT_EQ(read.OutputFile, b.Path("s.vtc"));
  // Decoding writes nothing.
  EXPECT_EQ(b.Names(), std::vector<std::string>{"moved.cfdm"});
}

TEST(Cfdm, PlaintextWithoutDefinitionSectionGivesNoDefinition) {
  testing::TTempFolder tmp;
  tmp.Write("x.cfdm",
            EncryptString("---QueryString---\r\nselect 1\r\n", CfdApplicationKey) + "\r\n");
  const TCfdmContents contents = DecodeCfdm(tmp.Path("x.cfdm"));
  EXPECT_FALSE(contents.Definition);
  EXPECT_EQ(contents.Query, "select 1\r\n");  // unclosed: to the end
}

TEST(Cfdm, CliEncryptWritesTheFileOrNamesTheMissingCompanion) {
  testing::TTempFolder tmp;
  std::string cfd = WriteDefinition(tmp, "");
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"encrypt", cfd}, out, err), 0);
  EXPECT_EQ(out.str(), "Cube定义文件加密成功！\n导出文件名：" + tmp.Path("sales.cfdm") + "\n");

  std::filesystem::remove(tmp.Path("query.sql"));
  std::filesystem::remove(tmp.Path("sales.cfdm"));
  EXPECT_EQ(RunCli({"encrypt", cfd}, out, err), 1);
  EXPECT_EQ(err.str(), "quarrydesk-cli encrypt: 无法找到查询语句文件，Cube定义文件加密失败！\n");
  EXPECT_FALSE(std::filesystem::exists(tmp.Path("sales.cfdm")));
  EXPECT_EQ(RunCli({"encrypt", tmp.Path("none.cfd")}, out, err), 1);
  EXPECT_NE(err.str().find("无法读取文件“" + tmp.Path("none.cfd") + "”！"), std::string::npos);
  // A NUL byte would not survive the cipher: refused instead of packed.
  tmp.Write("query.sql", std::string("select '\0'", 10));
  EXPECT_THROW(CryptCFD(cfd, "/prog/"), ECubeError);
  EXPECT_FALSE(std::filesystem::exists(tmp.Path("sales.cfdm")));
}

// The working cube as a list of the calls it received.
class TFakeCube : public TRealTimeCubeTarget {
 public:
  std::vector<std::string> Calls;
  std::vector<std::string> Fields{"Region", "OrderDate", "Amount", "ID"};
  bool FailConnection = false, IsActive = false;
  std::function<void()> OnConnect;

  void OpenConnection(const std::string& s) override {
    if (OnConnect) OnConnect();
    if (FailConnection) throw ECubeError("连接失败");
    Calls.push_back("connect:" + s);
  }
  void SetFactQuery(const std::string& sql) override { Calls.push_back("query:" + sql); }
  std::vector<std::string> RefillDimensionMap() override { return Fields; }
  void PlaceDimension(const std::string& f, const TCfdDimension& e) override {
    Calls.push_back("dim:" + f + (e.AsDate ? "+date" : ""));
  }
  void MarkSummary(const std::string& f, const std::optional<std::string>& d) override {
    Calls.push_back("sum:" + f + ":" + d.value_or("-"));
  }
  void SetKeyFields(const std::vector<std::string>& k) override {
    Calls.push_back("key:" + std::to_string(k.size()) + k[0]);
  }
  void SetAggregateInDatabase(bool on) override {
    if (on) Calls.push_back("in-database");
  }
  void Activate() override { IsActive = true, Calls.push_back("activate"); }
  bool Active() const override { return IsActive; }
  void SaveToFile(const std::string& f) override { Calls.push_back("save:" + f); }
};

TEST(MakeCfd, PlacesFieldsWithoutRegardToCaseThenBuildsAndSaves) {
  testing::TTempFolder tmp;
  std::string cfd =
      WriteDefinition(tmp,
                      "[Cube]\r\nDgRow1=region "
                      ";地区\r\nDgCol1=ORDERDATE\r\nDgCol1AsDate=1\r\nDgSum1=Amount;金额\r\n"
                      "DgKeyField=id\r\n[Other]\r\nOutPutFile=out.vtc\r\n");
  TFakeCube cube;
  TMessageList messages;
  EXPECT_TRUE(MakeCFD(cfd, "/prog/", cube, messages));
  EXPECT_TRUE(messages.Messages.empty());
  EXPECT_EQ(cube.Calls,
            (std::vector<std::string>{"connect:Provider=SQLite;\r\nData Source=销售.db;"
                                      "Data Source=" + tmp.Path("销售.db"),
                                      "query:select * from facts\n", "dim:Region",
                                      "dim:OrderDate+date", "sum:Amount:金额", "key:1ID",
                                      "activate", "save:" + tmp.Path("out.vtc")}));
}

TEST(MakeCfd, AggregateInDatabaseKeyAsksForTheGroupedBuild) {
  testing::TTempFolder tmp;
  for (const char* value : {"1", " 1 ", "0", "yes"}) {
    std::string cfd = WriteDefinition(
        tmp, std::string("[Cube]\r\nDgRow1=region\r\nDgSum1=Amount\r\nDgAggregateInDatabase=") +
                 value + "\r\n");
    TFakeCube cube;
    TMessageList messages;
    EXPECT_TRUE(MakeCFD(cfd, "/prog/", cube, messages));
    const bool asked = std::find(cube.Calls.begin(), cube.Calls.end(), "in-database") != cube.Calls.end();
    EXPECT_EQ(asked, std::string(value).find('1') != std::string::npos) << value;
  }
}

TEST(MakeCfd, ReportsMissingFilesConnectionErrorsAndUnknownFields) {
  testing::TTempFolder tmp;
  TFakeCube cube;
  TMessageList messages;
  EXPECT_FALSE(MakeCFD(tmp.Write("a.cfd", "[DB]\nConnectString=none.txt\n"), "/", cube, messages));
  std::string cfd = WriteDefinition(tmp, "[Cube]\r\nDgRow1=Region\r\nDgSum1=Missing;m\r\n");
  cube.FailConnection = true;
  EXPECT_FALSE(MakeCFD(cfd, "/", cube, messages));
  cube.FailConnection = false;
  EXPECT_FALSE(MakeCFD(cfd, "/", cube, messages));
  EXPECT_FALSE(cube.Active());
  EXPECT_EQ(messages.Messages,
            (std::vector<std::string>{
                "无法找到数据库连接文件，CUBE生成失败！", "连接失败",
                "查询结果中没有字段“Missing”（Cube定义文件：" + cfd + "），CUBE生成失败！"}));
}

TEST(MakeCfd, ACompositePartTheQueryDoesNotReturnStopsTheBuild) {
  testing::TTempFolder tmp;
  std::string cfd =
      WriteDefinition(tmp, "[Cube]\r\nDgRow1=Region\r\nDgRow1Parts=id;Branch\r\nDgSum1=Amount\r\n");
  TFakeCube cube;
  TMessageList messages;
  EXPECT_FALSE(MakeCFD(cfd, "/", cube, messages));
  EXPECT_FALSE(cube.Active());
  EXPECT_EQ(messages.Messages, std::vector<std::string>{"查询结果中没有字段“Branch”（Cube定义文件：" +
                                                        cfd + "），CUBE生成失败！"});
}

TEST(MakeCfd, OpeningAnEncryptedDefinitionBuildsAndLeavesNoTemporaryFiles) {
  testing::TTempFolder a, b;
  std::string good = CryptCFD(WriteDefinition(a, "[Cube]\r\nDgRow1=Region\r\n"), "/");
  std::filesystem::rename(good, b.Path("good.CFDM"));
  TFakeCube cube;
  TMessageList messages;
  EXPECT_TRUE(OpenDefinitionFile(b.Path("good.CFDM"), "/", cube, messages));
  EXPECT_EQ(messages.Messages, std::vector<std::string>{"CUBE生成成功！"});
  // The database named without a folder is looked for beside the encrypted file.
  EXPECT_EQ(cube.Calls.front(),
            "connect:Provider=SQLite;\r\nData Source=销售.db\r\nData Source=" + b.Path("销售.db"));
  EXPECT_FALSE(HasTempFiles(b.Folder()));

  std::string bad = CryptCFD(WriteDefinition(a, "[Cube]\r\nDgRow1=Nowhere\r\n"), "/");
  std::filesystem::rename(bad, b.Path("bad.cfdm"));
  messages.Messages.clear();
  EXPECT_FALSE(OpenDefinitionFile(b.Path("bad.cfdm"), "/", cube, messages));
  ASSERT_EQ(messages.Messages.size(), 1u);
  EXPECT_NE(messages.Messages[0].find(b.Path("bad.cfdm")), std::string::npos);
  b.Write("broken.cfdm", "not hex at all");
  EXPECT_THROW(OpenDefinitionFile(b.Path("broken.cfdm"), "/", cube, messages), EGenericError);
  EXPECT_FALSE(HasTempFiles(b.Folder()));
}

TEST(MakeCfd, AnEncryptedDefinitionIsBuiltWithoutItsSecretsEverOnDisk) {
  testing::TTempFolder a, b;
  a.Write("conn.txt", "Provider=SQLite;Data Source=x.db;Password=Sec;r3t");
  a.Write("query.sql", "select 1");
  a.Write("s.cfd", "[DB]\r\nConnectString=conn.txt\r\nQueryString=query.sql\r\n"
                   "[Cube]\r\nDgRow1=Region\r\n");
  std::filesystem::rename(CryptCFD(a.Path("s.cfd"), "/"), b.Path("s.cfdm"));
  // Links planted where earlier versions wrote the plaintext: opening must not
  // write through them into the file they name, and removes them.
  const std::string victim = a.Write("victim.txt", "keep me");
  for (std::string_view name : {CfdmConnectionTemp, CfdmQueryTemp, CfdmDefinitionTemp})
    std::filesystem::create_symlink(victim, b.Path(name));
  TFakeCube cube;
  std::vector<std::string> duringBuild;
  cube.OnConnect = [&] { duringBuild = b.Names(); };
  TMessageList messages;
  EXPECT_TRUE(OpenDefinitionFile(b.Path("s.cfdm"), "/", cube, messages));
  EXPECT_EQ(duringBuild, std::vector<std::string>{"s.cfdm"});
  EXPECT_EQ(b.Names(), std::vector<std::string>{"s.cfdm"});
  EXPECT_EQ(test::ReadText(victim), "keep me");
  EXPECT_EQ(cube.Calls.front(), "connect:Provider=SQLite;Data Source=x.db;Password=Sec;r3t\r\n");
}

TEST(MakeCfd, TheSuccessMessageNamesTheFileWrittenAndWhetherItLiesElsewhere) {
  testing::TTempFolder tmp;
  TFakeCube cube;
  TMessageList messages;
  std::string cfd = WriteDefinition(tmp, "[Cube]\r\nDgRow1=Region\r\n[Other]\r\nOutPutFile=s.vtc\r\n");
  TCfdOutput output;
  EXPECT_TRUE(OpenDefinitionFile(cfd, "/", cube, messages, &output));
  EXPECT_EQ(output.File, tmp.Path("s.vtc"));
  EXPECT_FALSE(output.OutsideFolder);
  EXPECT_EQ(messages.Messages.back(), "CUBE生成成功！\n导出文件名：" + tmp.Path("s.vtc"));

  // Stored definitions may write elsewhere: honoured, and said.
  cfd = WriteDefinition(tmp, "[Cube]\r\nDgRow1=Region\r\n[Other]\r\nOutPutFile=../../x.vtc\r\n");
  EXPECT_TRUE(OpenDefinitionFile(cfd, "/", cube, messages, &output));
  const std::string outside =
      std::filesystem::path(tmp.Folder() + "../../x.vtc").lexically_normal().string();
  EXPECT_EQ(cube.Calls.back(), "save:" + tmp.Path("../../x.vtc"));
  EXPECT_EQ(output.File, outside);
  EXPECT_TRUE(output.OutsideFolder);
  EXPECT_EQ(messages.Messages.back(), "CUBE生成成功！\n导出文件名：" + outside +
                                          "\n注意：输出文件不在Cube定义文件所在的文件夹中");
}

}  // namespace qd

namespace qd {

TEST(MakeCfd, CommandLineBuildThrowsTheMessagesItWouldShow) {
  testing::TTempFolder tmp;
  TFakeCube cube;
  EXPECT_NO_THROW(BuildDefinitionFile(WriteDefinition(tmp, "[Cube]\r\nDgRow1=ID\r\n"), "/", cube));
  EXPECT_TRUE(cube.Active());
  try {
    BuildDefinitionFile(tmp.Write("b.cfd", "[DB]\r\nConnectString=conn.txt\r\n"), "/", cube);
    FAIL();
  } catch (const ECubeError& e) {
    EXPECT_STREQ(e.what(), "无法找到查询语句文件，CUBE生成失败！");
  }
  tmp.Write("empty.cfdm", EncryptString("nothing", CfdApplicationKey));
  EXPECT_THROW(BuildDefinitionFile(tmp.Path("empty.cfdm"), "/", cube), ECubeError);
  EXPECT_THROW(BuildDefinitionFile(tmp.Path("conn.txt"), "/", cube), ECubeError);
  EXPECT_FALSE(HasTempFiles(tmp.Folder()));
}

}  // namespace qd

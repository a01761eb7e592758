#include <gtest/gtest.h>

#include "db/db_connection.h"
#include "db_test_util.h"
#include "engine/core/format.h"
#include "engine/core/text_codec.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace qd {
namespace {

using test::AllRows;
using test::ErrorOf;

TEST(CsvQuery, InfersEachColumnTypeFromEveryValue) {
  test::TScratchDir dir;
  // "late" is numeric until its last value; "code" has leading zeros.
  std::string path = dir.Write("f.csv",
                               "city,n,big,amt,d,ts,flag,late,code,empty\n"
                               "杭州,1,3000000000,1.5,2004-03-15,2004-03-15 08:00:00,true,1,0571,\n"
                               "宁波,-2,4,2,2004-11-02,2004-11-02,FALSE,2,0574,\n"
                               "温州,3,5,1e3,2005-01-01,2005-01-01 23:59:59,true,x9,0577,\n");
  TDbConnection conn("Provider=CSV;Data Source=" + path);
  TDbQuery q(&conn, "ignored for a single file");
  q.Open();
  using enum TFieldType;
  std::vector<TFieldType> want = {ftString,   ftInteger, ftLargeint, ftFloat,  ftDate,
                                  ftDateTime, ftBoolean, ftString,   ftString, ftString};
  ASSERT_EQ(q.FieldCount(), 10);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(q.Fields(i).DataType(), want[i]) << q.Fields(i).FieldName();
  EXPECT_EQ(q.FieldByName("city").AsString(), "杭州");
  EXPECT_EQ(q.FieldByName("big").AsLargeInt(), 3000000000LL);
  EXPECT_EQ(q.FieldByName("amt").AsCurrency(), 15000);
  EXPECT_EQ(q.FieldByName("d").AsDateTime(), EncodeDate(2004, 3, 15));
  EXPECT_NEAR(q.FieldByName("ts").AsDateTime(), EncodeDateTime(2004, 3, 15, 8, 0, 0), 1e-9);
  EXPECT_TRUE(q.FieldByName("flag").AsBoolean());
  EXPECT_EQ(q.FieldByName("code").AsString(), "0571");
  EXPECT_TRUE(q.FieldByName("empty").IsNull());
  EXPECT_EQ(AllRows(q).back(), "温州|3|5|1000|2005-01-01|2005-01-01 23:59:59|True|x9|0577|<null>");
}

TEST(CsvQuery, HonoursQuotesLineBreaksAndBom) {
  test::TScratchDir dir;
  std::string path = dir.Write("q.csv",
                               "\xEF\xBB\xBF"
                               "name,remark,n\r\n"
                               "\"Smith, J\",\"said \"\"hi\"\"\r\nthen left\",1\r\n"
                               "\r\n"
                               "plain,,2\r\n");
  TDbConnection conn("Provider=CSV;Data Source=" + path);
  TDbQuery q(&conn, "x");
  q.Open();
  EXPECT_EQ(q.Fields(0).FieldName(), "name");
  EXPECT_EQ(q.FieldByName("n").DataType(), TFieldType::ftInteger);
  EXPECT_EQ(AllRows(q), (std::vector<std::string>{"Smith, J|said \"hi\"\r\nthen left|1",
                                                  "plain|<null>|2"}));
}

TEST(CsvQuery, DecodesGb18030FilesAndReadsTabSeparatedOnes) {
  test::TScratchDir dir;
  std::string path = dir.Write("gb.csv", Utf8ToAnsi("机构\t保费\n杭州分公司\t12.5\n"));
  TDbConnection conn("Provider=CSV;Data Source=" + path);
  TDbQuery q(&conn, "x");
  q.Open();
  EXPECT_EQ(q.Fields(0).FieldName(), "机构");
  EXPECT_EQ(AllRows(q), std::vector<std::string>{"杭州分公司|12.5"});
}

TEST(CsvQuery, AFolderSourceReadsTheFileTheQueryNames) {
  test::TScratchDir dir;
  dir.Write("sales.csv", "a\n1\n");
  dir.Write("other data.csv", "b\n2\n3\n");
  TDbConnection conn("Provider=CSV;Data Source=" + dir.Path.string());
  TDbQuery q(&conn, "sales");
  for (const char* sql :
       {"sales", "sales.csv", "SELECT * FROM sales", "select * from \"sales.csv\";"}) {
    q.SetSQL(sql);
    q.Open();
    EXPECT_EQ(AllRows(q), std::vector<std::string>{"1"}) << sql;
  }
  q.SetSQL("SELECT * FROM [other data]");
  q.Open();
  EXPECT_EQ(AllRows(q).size(), 2u);
  q.SetSQL("missing");
  EXPECT_NE(ErrorOf([&] { q.Open(); }).find("找不到CSV文件"), std::string::npos);
}

TEST(CsvQuery, MalformedFilesRaiseErrorsWithTheLine) {
  test::TScratchDir dir;
  const std::string w = dir.Write("w.csv", "a,b\n1,2\n3,4,5\n");
  TDbConnection wide("Provider=CSV;Data Source=" + w);
  TDbQuery q(&wide, "x");
  EXPECT_EQ(ErrorOf([&] { q.Open(); }), "CSV文件 " + w + " 第 3 行：有 3 个字段，标题行有 2 个字段");
  // A record with a field too few would read the rest of the row as missing.
  const std::string n = dir.Write("n.csv", "机构,险种,保费\n杭州,寿险,1\n宁波,2\n");
  TDbConnection narrow("Provider=CSV;Data Source=" + n);
  TDbQuery qn(&narrow, "x");
  EXPECT_EQ(ErrorOf([&] { qn.Open(); }), "CSV文件 " + n + " 第 3 行：有 2 个字段，标题行有 3 个字段");
  TDbConnection open("Provider=CSV;Data Source=" + dir.Write("o.csv", "a\n\"never closed\n"));
  TDbQuery q2(&open, "x");
  EXPECT_NE(ErrorOf([&] { q2.Open(); }).find("引号未闭合"), std::string::npos);
  TDbConnection empty("Provider=CSV;Data Source=" + dir.Write("e.csv", ""));
  TDbQuery q3(&empty, "x");
  EXPECT_NE(ErrorOf([&] { q3.Open(); }).find("没有标题行"), std::string::npos);
  TDbConnection none("Provider=CSV;Data Source=" + dir.File("none.csv"));
  EXPECT_NE(ErrorOf([&] { none.Open(); }).find("找不到CSV文件"), std::string::npos);
}

TEST(CsvQuery, AnyFolderAndFileNameIsReadThroughItsQuotedSource) {
  test::TScratchDir dir;
  const std::filesystem::path folder = dir.Path / "d;Provider=SQLite";
  std::filesystem::create_directories(folder);
  const std::string file = (folder / "a]b \"q\".csv").string();
  std::ofstream(file) << "x\n1\n";
  const TCsvFileSource source = CsvFileSource(file);
  TDbConnection conn(source.ConnectionString);
  TDbQuery q(&conn, source.Sql);
  q.Open();
  EXPECT_EQ(AllRows(q), std::vector<std::string>{"1"});
}

TEST(CsvQuery, APipeIsRefusedAtOnce) {
  test::TScratchDir dir;
  const std::string fifo = dir.File("facts.csv");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  TDbConnection conn("Provider=CSV;Data Source=" + fifo);
  TDbQuery q(&conn, "x");
  EXPECT_EQ(ErrorOf([&] { q.Open(); }), "无法读取“" + fifo + "”：它是管道，不是普通文件");
}

TEST(CsvQuery, TextThatIsNoNumberIsToldApartFromNumbers) {
  test::TScratchDir dir;
  TDbConnection conn("Provider=CSV;Data Source=" +
                     dir.Write("v.csv", "v;n\n12.5;1\nabc;2\n12,5;3\n3e2;4\n ;5\n"));
  TDbQuery q(&conn, "x");
  q.Open();
  std::vector<std::string> read;
  for (q.First(); !q.Eof(); q.Next()) {
    double value = -1;
    const bool number = q.FieldByName("v").AsNumber(value);
    read.push_back((number ? "" : "!") + FormatGeneral(value));
  }
  EXPECT_EQ(read, (std::vector<std::string>{"12.5", "!0", "!0", "300", "0"}));
}

}  // namespace
}  // namespace qd

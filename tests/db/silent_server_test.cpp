// Time-outs of the backends. A listener on the loopback accepts connections and
// never answers, as a hung server does; each attempt runs in a child process
// under an alarm, so a backend that waits for ever fails the test instead of
// hanging it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "../engine/file_test_support.h"
#include "db/db_connection.h"
#include "db/db_error.h"
#include "db_test_util.h"

namespace qd {
namespace {

class TSilentListener {
 public:
  TSilentListener() {
    FSocket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(FSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(FSocket, 16) != 0 ||
        ::getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      ADD_FAILURE() << "no loopback listener";
    FPort = ntohs(address.sin_port);
  }
  ~TSilentListener() { ::close(FSocket); }
  // The kernel completes the handshake of a connection in the backlog, so a
  // client is connected while nobody ever reads or writes.
  int Port() const { return FPort; }

 private:
  int FSocket = -1;
  int FPort = 0;
};

bool OdbcDriverInstalled(const char* name) {
  std::FILE* f = std::fopen("/etc/odbcinst.ini", "r");
  if (!f) return false;
  char line[512];
  bool found = false;
  const std::string want = std::string("[") + name + "]";
  while (std::fgets(line, sizeof line, f))
    if (std::string(line).rfind(want, 0) == 0) found = true;
  std::fclose(f);
  return found;
}

// Connects in a child that the alarm ends after 40 s. 0: the backend gave up
// with its error between `atLeast` and 20 seconds, its message free of the
// password; 1: it connected; 2: it gave up too early or too late; 3: the
// message showed the password; 114: it never gave up.
int ConnectToSilentServer(const std::string& connectionString, int atLeast) {
  return test::RunInChild([&] {
    ::alarm(40);
    const auto start = std::chrono::steady_clock::now();
    try {
      TDbConnection connection(connectionString);
      connection.Open();
    } catch (const EDbError& e) {
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (std::string(e.what()).find("Sec;r3t") != std::string::npos) return 3;
      return seconds >= atLeast && seconds < 20 ? 0 : 2;
    }
    return 1;
  });
}

TEST(SilentServer, SqlServerThroughFreeTdsGivesUpAfterTheConnectTimeout) {
  if (!OdbcDriverInstalled("FreeTDS")) GTEST_SKIP() << "the FreeTDS ODBC driver is not installed";
  TSilentListener server;
  const std::string target = "Data Source=127.0.0.1," + std::to_string(server.Port()) +
                             ";User ID=sa;Password=\"Sec;r3t\";Initial Catalog=Stat;";
  EXPECT_EQ(ConnectToSilentServer("Provider=SQLOLEDB.1;" + target + "Connect Timeout=2", 1), 0);
  // A plain ODBC string to the FreeTDS driver, with the protocol it names.
  EXPECT_EQ(ConnectToSilentServer("Driver=FreeTDS;Server=127.0.0.1;Port=" +
                                      std::to_string(server.Port()) +
                                      ";UID=sa;PWD={Sec;r3t};TDS_Version=7.3;Connect Timeout=2",
                                  1),
            0);
}

TEST(SilentServer, PostgreSqlGivesUpAfterTheConnectTimeout) {
  TSilentListener server;
  EXPECT_EQ(ConnectToSilentServer("Provider=PostgreSQL;Data Source=127.0.0.1," +
                                      std::to_string(server.Port()) +
                                      ";Initial Catalog=stat;User ID=ana;Password=\"Sec;r3t\";"
                                      "Connect Timeout=2",
                                  1),
            0);
}

TEST(SilentServer, ClickHouseGivesUpAfterTheConnectTimeout) {
  TSilentListener server;
  EXPECT_EQ(ConnectToSilentServer("Provider=ClickHouse;Data Source=127.0.0.1:" +
                                      std::to_string(server.Port()) +
                                      ";Initial Catalog=stat;User ID=ana;Password=\"Sec;r3t\";"
                                      "Connect Timeout=2",
                                  1),
            0);
}

TEST(SilentServer, TheConnectionStringsCommandTimeoutBoundsEveryQuery) {
  test::TScratchDir dir;
  TDbConnection connection("Provider=SQLite;Data Source=" + dir.Write("t.db", "") +
                           ";Command Timeout=1");
  TDbQuery endless(&connection,
                   "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) "
                   "SELECT COUNT(*) FROM n");
  endless.CommandTimeout = 0;  // the query itself sets no limit
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(test::ErrorOf([&] { endless.Open(); }), "查询超时（1 秒）");
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20);
}

}  // namespace
}  // namespace qd

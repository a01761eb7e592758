// One HTTP POST whose answer is read line by line while it arrives, through
// libcurl: a result of millions of lines is never held as a whole.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace qd {

struct THttpRequest {
  std::string Url;  // with its query parameters
  std::string Body;
  std::string User, Password;  // HTTP basic authentication; never part of the URL
  //! Seconds to reach the server; 0 = libcurl's default.
  int ConnectTimeout = 15;
  //! Seconds the server may stay silent before the request fails; 0 = no limit.
  int IdleTimeout = 0;
  //! The request only proves that the server answers: its silence is reported
  //! as a server out of reach rather than as a query's time-out.
  bool Probe = false;
};

//! An answer being received. Errors of the transfer raise EDbError with
//! libcurl's text after the server's address (never the password).
class THttpStream {
 public:
  explicit THttpStream(const THttpRequest& request);
  ~THttpStream();
  THttpStream(const THttpStream&) = delete;
  THttpStream& operator=(const THttpStream&) = delete;

  //! Waits for the status line and headers; the HTTP status (200 = OK).
  long Status();
  //! The next line without its line feed, valid until the next call; false
  //! at the end of the answer. A last line without a line feed is a line.
  bool ReadLine(std::string_view& line);
  //! The rest of the answer, at most `limit` bytes (for an error's text).
  std::string ReadRest(std::size_t limit);
  //! Bytes of the answer's body received so far.
  std::size_t BytesReceived() const { return FReceived; }

 private:
  static std::size_t OnData(char* data, std::size_t size, std::size_t count, void* self);
  // Moves the transfer on until more data came or it ended; false once ended.
  bool Pump();
  [[noreturn]] void RaiseTransferError(int code) const;
  [[noreturn]] void RaiseSilence() const;

  void* FEasy = nullptr;   // CURL*
  void* FMulti = nullptr;  // CURLM*
  void* FHeaders = nullptr;  // curl_slist*
  std::string FServer;  // scheme, host and port, for messages
  std::string FBuffer;
  std::size_t FPos = 0;  // start of the unread part of FBuffer
  std::size_t FReceived = 0;
  bool FDone = false;
  bool FProbe = false;
  int FIdleTimeout = 0;
  std::chrono::steady_clock::time_point FLastData;  // start, then the last data received
  char FError[256] = {};
};

}  // namespace qd

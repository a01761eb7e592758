#include "db/http_stream.h"

#include <curl/curl.h>

#include <mutex>

#include "db/db_error.h"
#include "engine/core/format.h"
#include "engine/core/messages.h"

namespace qd {
namespace {

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// "http://host:port/path?query" without path and query, for messages.
std::string ServerOf(const std::string& url) {
  const std::size_t scheme = url.find("://");
  const std::size_t end = url.find_first_of("/?", scheme == std::string::npos ? 0 : scheme + 3);
  return url.substr(0, end);
}

// Before this much unread data is kept at the front, the buffer is compacted.
constexpr std::size_t kCompactAt = 1 << 20;

}  // namespace

THttpStream::THttpStream(const THttpRequest& request)
    : FServer(ServerOf(request.Url)),
      FProbe(request.Probe),
      FIdleTimeout(request.IdleTimeout),
      FLastData(std::chrono::steady_clock::now()) {
  InitCurlOnce();
  CURL* easy = curl_easy_init();
  CURLM* multi = curl_multi_init();
  FEasy = easy;
  FMulti = multi;
  if (!easy || !multi) throw EDbError(Format(Msg(TMsg::SDbHttpFailed), FServer, "out of memory"));
  curl_easy_setopt(easy, CURLOPT_URL, request.Url.c_str());
  curl_easy_setopt(easy, CURLOPT_POST, 1L);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.Body.size()));
  curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, request.Body.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
  curl_easy_setopt(easy, CURLOPT_USERNAME, request.User.c_str());
  curl_easy_setopt(easy, CURLOPT_PASSWORD, request.Password.c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, FError);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &THttpStream::OnData);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");  // whatever the server compresses with
  // "Expect: 100-continue" would cost a round trip on every long query text.
  FHeaders = curl_slist_append(nullptr, "Expect:");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(FHeaders));
  if (request.ConnectTimeout > 0)
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, static_cast<long>(request.ConnectTimeout));
  curl_multi_add_handle(multi, easy);
}

THttpStream::~THttpStream() {
  if (FMulti && FEasy) curl_multi_remove_handle(static_cast<CURLM*>(FMulti), static_cast<CURL*>(FEasy));
  if (FEasy) curl_easy_cleanup(static_cast<CURL*>(FEasy));
  if (FMulti) curl_multi_cleanup(static_cast<CURLM*>(FMulti));
  curl_slist_free_all(static_cast<curl_slist*>(FHeaders));
}

std::size_t THttpStream::OnData(char* data, std::size_t size, std::size_t count, void* self) {
  auto* s = static_cast<THttpStream*>(self);
  s->FBuffer.append(data, size * count);
  s->FReceived += size * count;
  return size * count;
}

void THttpStream::RaiseSilence() const {
  if (FProbe)
    throw EDbError(Format(Msg(TMsg::SDbHttpFailed), FServer,
                          Format(Msg(TMsg::SDbHttpNoAnswer), FIdleTimeout)));
  throw EDbError(Format(Msg(TMsg::SDbTimeout), FIdleTimeout));
}

void THttpStream::RaiseTransferError(int code) const {
  const std::string text =
      FError[0] ? std::string(FError) : curl_easy_strerror(static_cast<CURLcode>(code));
  throw EDbError(Format(Msg(TMsg::SDbHttpFailed), FServer, text));
}

bool THttpStream::Pump() {
  if (FDone) return false;
  CURLM* multi = static_cast<CURLM*>(FMulti);
  const std::size_t before = FReceived;
  while (FReceived == before) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK)
      throw EDbError(Format(Msg(TMsg::SDbHttpFailed), FServer, "curl_multi_perform"));
    int left = 0;
    while (CURLMsg* m = curl_multi_info_read(multi, &left)) {
      if (m->msg != CURLMSG_DONE) continue;
      FDone = true;
      if (m->data.result != CURLE_OK) RaiseTransferError(m->data.result);
    }
    if (FDone || running == 0) {
      FDone = true;
      return FReceived != before;
    }
    if (FReceived != before) break;
    // libcurl's own low-speed check waits several seconds past its limit.
    const auto now = std::chrono::steady_clock::now();
    if (FIdleTimeout > 0 && now - FLastData >= std::chrono::seconds(FIdleTimeout)) RaiseSilence();
    curl_multi_poll(multi, nullptr, 0, 200, nullptr);
  }
  FLastData = std::chrono::steady_clock::now();
  return true;
}

long THttpStream::Status() {
  long status = 0;
  CURL* easy = static_cast<CURL*>(FEasy);
  while (curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 0) {
    if (!Pump() && FDone) {
      curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
      break;
    }
  }
  return status;
}

bool THttpStream::ReadLine(std::string_view& line) {
  for (;;) {
    const std::size_t eol = FBuffer.find('\n', FPos);
    if (eol != std::string::npos) {
      line = std::string_view(FBuffer).substr(FPos, eol - FPos);
      FPos = eol + 1;
      return true;
    }
    if (FPos >= kCompactAt || (FPos > 0 && FPos == FBuffer.size())) {
      FBuffer.erase(0, FPos);
      FPos = 0;
    }
    if (!Pump()) {
      if (FPos == FBuffer.size()) return false;
      line = std::string_view(FBuffer).substr(FPos);
      FPos = FBuffer.size();
      return true;
    }
  }
}

std::string THttpStream::ReadRest(std::size_t limit) {
  while (FBuffer.size() - FPos < limit && Pump()) {
  }
  std::string rest = FBuffer.substr(FPos, limit);
  FPos = FBuffer.size();
  return rest;
}

}  // namespace qd

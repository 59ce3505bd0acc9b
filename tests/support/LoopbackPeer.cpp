#include "LoopbackPeer.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "PeerSockets.h"
#ifndef _WIN32
#include <sys/un.h>
#endif

namespace printing::testing {
namespace {

using namespace sockets;
#ifdef _WIN32
constexpr int kNoSignal = 0;
#else
constexpr int kNoSignal = MSG_NOSIGNAL;
#endif

Fd Of(std::intptr_t fd) { return static_cast<Fd>(fd); }

// A socket listening on `port` of 127.0.0.1; when it is 0, on a free port,
// whose number goes to `port`.
Fd ListenOnLoopback(int& port, int backlog = 64) {
  const Fd fd = SocketsReady() ? socket(AF_INET, SOCK_STREAM, 0) : kNone;
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  at.sin_port = htons(static_cast<std::uint16_t>(port));
#ifndef _WIN32
  // A fixed port is taken again at once, though the connections of its last
  // listener linger.
  const int reuse = 1;
  if (fd != kNone && port != 0) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
#endif
  socklen_t length = sizeof at;
  if (fd == kNone || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(fd, backlog) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
    if (fd != kNone) CloseFd(fd);
    throw std::runtime_error("cannot listen on loopback" + (port ? " port " + std::to_string(port) : std::string()));
  }
  port = ntohs(at.sin_port);
  return fd;
}

Fd ListenOnUnixSocket(const std::string& path) {
#ifdef _WIN32
  throw std::runtime_error("no unix socket here: " + path);
#else
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un at{};
  at.sun_family = AF_UNIX;
  std::strncpy(at.sun_path, path.c_str(), sizeof at.sun_path - 1);
  unlink(path.c_str());
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(fd, 64) != 0) {
    if (fd >= 0) close(fd);
    throw std::runtime_error("cannot listen on " + path);
  }
  return fd;
#endif
}

void Put16(std::string& out, std::size_t value) {
  out += static_cast<char>(value >> 8 & 0xFF);
  out += static_cast<char>(value & 0xFF);
}
void Put(std::string& out, char tag, const std::string& name, const std::string& value) {
  out += tag;
  Put16(out, name.size());
  out += name;
  Put16(out, value.size());
  out += value;
}

// An IPP/1.1 answer's status, request-id (put in by the peer) and operation
// attributes.
std::string IppHead(std::uint16_t status) {
  std::string ipp = {1, 1};
  Put16(ipp, status);
  ipp += std::string(4, '\0');
  ipp += '\x01';
  Put(ipp, '\x47', "attributes-charset", "utf-8");
  Put(ipp, '\x48', "attributes-natural-language", "en");
  return ipp;
}

// The IPP message `ipp`, ended, in an HTTP response "200 OK".
std::string HttpOk(std::string ipp) {
  ipp += '\x03';
  return "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nConnection: close\r\nContent-Length: " +
         std::to_string(ipp.size()) + "\r\n\r\n" + ipp;
}

// Reads an HTTP request (its head, then as many bytes as its Content-Length
// says), 2 s at the most, and gives its body.
std::string ReadRequest(Fd client, const std::atomic<bool>& stop) {
  std::string request;
  std::size_t body_at = std::string::npos, length = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!stop && std::chrono::steady_clock::now() < until && request.size() < 65536) {
    if (body_at != std::string::npos && request.size() >= body_at + length) break;
    if (!Readable(client, 20)) continue;
    char chunk[4096];
    const int got = static_cast<int>(recv(client, chunk, sizeof chunk, 0));
    if (got <= 0) break;
    request.append(chunk, static_cast<std::size_t>(got));
    if (body_at == std::string::npos && (body_at = request.find("\r\n\r\n")) != std::string::npos) {
      body_at += 4;
      std::string head = request.substr(0, body_at);
      for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (const std::size_t at = head.find("content-length:"); at != std::string::npos)
        length = std::strtoul(head.c_str() + at + 15, nullptr, 10);
    }
  }
  return body_at == std::string::npos ? std::string() : request.substr(body_at);
}

}  // namespace

int ClosedLoopbackPort() {
  int port = 0;
  CloseFd(ListenOnLoopback(port));
  return port;
}

std::string IppPrinterAnswer(std::int32_t state, bool accepting, const std::vector<std::string>& reasons,
                             const std::vector<Marker>& markers) {
  const auto word = [](std::int32_t value) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(value >> shift & 0xFF);
    return out;
  };
  std::string ipp = IppHead(0);  // successful-ok
  ipp += '\x04';
  Put(ipp, '\x23', "printer-state", word(state));
  for (std::size_t i = 0; i < reasons.size(); ++i) Put(ipp, '\x44', i == 0 ? "printer-state-reasons" : "", reasons[i]);
  Put(ipp, '\x22', "printer-is-accepting-jobs", std::string(1, accepting ? '\x01' : '\x00'));
  // Each marker attribute lists the supplies in one order.
  for (std::size_t i = 0; i < markers.size(); ++i) Put(ipp, '\x42', i == 0 ? "marker-names" : "", markers[i].name);
  for (std::size_t i = 0; i < markers.size(); ++i) Put(ipp, '\x44', i == 0 ? "marker-types" : "", markers[i].type);
  for (std::size_t i = 0; i < markers.size(); ++i) Put(ipp, '\x21', i == 0 ? "marker-levels" : "", word(markers[i].level));
  for (std::size_t i = 0; i < markers.size(); ++i)
    Put(ipp, '\x21', i == 0 ? "marker-low-levels" : "", word(markers[i].low));
  return HttpOk(ipp);
}

std::string HttpAnswer(const std::string& status) {
  return "HTTP/1.1 " + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

std::string IppStatusAnswer(std::uint16_t status) {
  std::string ipp = IppHead(status);
  Put(ipp, '\x41', "status-message", "refused");
  return HttpOk(ipp);
}

LoopbackPeer::LoopbackPeer(Mode mode, const std::string& unix_path) : path_(unix_path) {
  if (mode == Full) {
    // A backlog of none, filled by one connection that is never accepted: the
    // kernel drops every later attempt's SYN, so that nothing answers it.
    fd_ = static_cast<std::intptr_t>(ListenOnLoopback(port_, 0));
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = htons(static_cast<std::uint16_t>(port_));
    const Fd filler = socket(AF_INET, SOCK_STREAM, 0);
    filler_ = static_cast<std::intptr_t>(filler);
    if (filler == kNone || connect(filler, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0)
      throw std::runtime_error("cannot fill the queue of port " + std::to_string(port_));
    return;
  }
  fd_ = static_cast<std::intptr_t>(unix_path.empty() ? ListenOnLoopback(port_) : ListenOnUnixSocket(unix_path));
  if (mode == NeverAccepts) return;
  std::string junk;
  for (unsigned i = 0, x = 12345; (mode == Garbage || mode == Blurts) && i < 512; ++i, x = x * 1103515245 + 12345)
    junk += static_cast<char>(0x21 + (x >> 16) % 0xDE);  // no space, so no status line
  thread_ = std::thread([this, mode, junk] { Serve(mode, junk); });
}

LoopbackPeer::LoopbackPeer(Mode mode, int port) : port_(port) {
  fd_ = static_cast<std::intptr_t>(ListenOnLoopback(port_));
  if (mode == NeverAccepts) return;
  thread_ = std::thread([this, mode] { Serve(mode, std::string()); });
}

LoopbackPeer::LoopbackPeer(Answer answer) {
  fd_ = static_cast<std::intptr_t>(ListenOnLoopback(port_));
  thread_ = std::thread([this, response = std::move(answer.response)] { Serve(Garbage, response); });
}

void LoopbackPeer::Serve(Mode mode, std::string reply) {
  const Fd listening = Of(fd_);
  std::vector<Fd> held;
  while (!stop_) {
    if (!Readable(listening, 20)) continue;
    const Fd client = accept(listening, nullptr, nullptr);
    if (client == kNone) continue;
    if (mode == Drops) {
      CloseFd(client);
      continue;
    }
    if (mode == Blurts) {
      send(client, reply.data(), static_cast<int>(reply.size()), kNoSignal);
      CloseFd(client);
      continue;
    }
    if (mode == Garbage) {
      std::string answer = reply;
      const std::string body = ReadRequest(client, stop_);
      const std::size_t ipp_at = answer.find("\r\n\r\n");
      // An IPP answer carries the request's request-id.
      if (ipp_at != std::string::npos && body.size() >= 8 && answer.size() >= ipp_at + 12)
        answer.replace(ipp_at + 8, 4, body.substr(4, 4));
      send(client, answer.data(), static_cast<int>(answer.size()), kNoSignal);
      CloseFd(client);
      continue;
    }
    held.push_back(client);
    if (mode != Drip) continue;
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\n";
    for (std::size_t i = 0; !stop_; i = (i + 1) % answer.size()) {
      if (send(client, &answer[i], 1, kNoSignal) != 1) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  for (Fd c : held) CloseFd(c);
}

LoopbackPeer::~LoopbackPeer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (filler_ != -1) CloseFd(Of(filler_));
  CloseFd(Of(fd_));
#ifndef _WIN32
  if (!path_.empty()) unlink(path_.c_str());
#endif
}

}  // namespace printing::testing

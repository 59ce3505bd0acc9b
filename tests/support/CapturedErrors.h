// Captures what the process writes to standard error while it lives: file
// descriptor 2 leads into a pipe, which is read when the capture ends. For
// the few lines a test provokes (a pipe holds 64 KiB).
#pragma once
#include <cstdio>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace windowtest {

class CapturedErrors {
 public:
  CapturedErrors() {
    int ends[2];
#ifdef _WIN32
    const int made = _pipe(ends, 65536, _O_BINARY);
#else
    const int made = pipe(ends);
#endif
    if (made != 0) throw std::runtime_error("no pipe to capture standard error");
    std::fflush(stderr);
    read_end_ = ends[0];
    saved_ = dup(2);  // -1 if there was no standard error
    dup2(ends[1], 2);
    close(ends[1]);
  }
  ~CapturedErrors() {
    End();
    close(read_end_);
  }
  CapturedErrors(const CapturedErrors&) = delete;
  CapturedErrors& operator=(const CapturedErrors&) = delete;

  // What was written; the capture ends at the first call.
  const std::string& Text() {
    End();
    return text_;
  }

 private:
  void End() {
    if (!capturing_) return;
    capturing_ = false;
    std::fflush(stderr);
    // The pipe's last writer goes, so it reads to its end.
    if (saved_ >= 0) {
      dup2(saved_, 2);
      close(saved_);
    } else {
      close(2);
    }
    char chunk[4096];
    for (int got; (got = static_cast<int>(read(read_end_, chunk, sizeof chunk))) > 0;) text_.append(chunk, got);
  }

  bool capturing_ = true;
  int read_end_ = -1;
  int saved_ = -1;
  std::string text_;
};

}  // namespace windowtest

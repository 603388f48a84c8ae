#pragma once

namespace net {

// Owns one socket descriptor; closing it is the destructor's job, so no path leaks one.
class TSocketHandle {
 public:
  TSocketHandle() = default;
  explicit TSocketHandle(int fd) : FHandle(fd) {}
  ~TSocketHandle() { Close(); }
  TSocketHandle(TSocketHandle&& other) noexcept : FHandle(other.Release()) {}
  TSocketHandle& operator=(TSocketHandle&& other) noexcept {
    if (this != &other) {
      Close();
      FHandle = other.Release();
    }
    return *this;
  }
  TSocketHandle(const TSocketHandle&) = delete;
  TSocketHandle& operator=(const TSocketHandle&) = delete;

  int Get() const { return FHandle; }
  bool Valid() const { return FHandle >= 0; }
  int Release() {
    const int fd = FHandle;
    FHandle = -1;
    return fd;
  }
  // Shuts down the sending direction first, so the peer sees an orderly end.
  void ShutdownAndClose();
  void Close();

 private:
  int FHandle = -1;
};

}  // namespace net

// Win32 file stream: CreateFileA handles with the share modes the launcher
// and the engine rely on (the engine opens archives with no sharing at all).
#include <windows.h>

#include <algorithm>
#include <limits>

#include "vsk/exceptions.hpp"
#include "vsk/file_stream.hpp"

namespace vsk {

namespace {
constexpr std::int64_t kMaxPosition = std::numeric_limits<std::int32_t>::max();

HANDLE AsHandle(std::intptr_t value) {
  return reinterpret_cast<HANDLE>(value);
}

HANDLE OpenFile(const std::string& path, TFileMode mode) {
  switch (mode) {
    case TFileMode::OpenReadExclusive:
      return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    case TFileMode::OpenReadShared:
      return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    case TFileMode::Create:
      return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  return INVALID_HANDLE_VALUE;
}
}  // namespace

TFileStream::TFileStream(const std::string& path, TFileMode mode)
    : path_(path), handle_(reinterpret_cast<std::intptr_t>(OpenFile(path, mode))) {
  if (AsHandle(handle_) == INVALID_HANDLE_VALUE) {
    if (mode == TFileMode::Create) throw EFCreateError(path);
    throw EFOpenError(path);
  }
}

TFileStream::~TFileStream() {
  CloseHandle(AsHandle(handle_));
}

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  DWORD got = 0;
  if (!ReadFile(AsHandle(handle_), buffer, static_cast<DWORD>(count), &got, nullptr)) return 0;
  return static_cast<std::int32_t>(got);
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  DWORD put = 0;
  if (!WriteFile(AsHandle(handle_), buffer, static_cast<DWORD>(count), &put, nullptr)) return 0;
  return static_cast<std::int32_t>(put);
}

std::int32_t TFileStream::Seek(std::int32_t offset, TSeekOrigin origin) {
  LARGE_INTEGER zero{};
  LARGE_INTEGER base{};
  const DWORD method = origin == TSeekOrigin::soEnd       ? FILE_END
                       : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                          : FILE_BEGIN;
  if (method != FILE_BEGIN) SetFilePointerEx(AsHandle(handle_), zero, &base, method);
  LARGE_INTEGER target{};
  target.QuadPart = ClampSeekTarget(std::max<std::int64_t>(base.QuadPart, 0), offset);
  LARGE_INTEGER reached{};
  if (!SetFilePointerEx(AsHandle(handle_), target, &reached, FILE_BEGIN)) return 0;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(reached.QuadPart, 0, kMaxPosition));
}

std::int32_t TFileStream::Size() {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(AsHandle(handle_), &size)) return 0;
  return static_cast<std::int32_t>(std::min<std::int64_t>(size.QuadPart, kMaxPosition));
}

}  // namespace vsk

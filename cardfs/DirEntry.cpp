#include "cardfs/DirEntry.h"

#include <cstdio>
#include <cstring>

#include "app/Endian.h"

namespace sondesk {

DirEntry DirEntry::Parse(const std::uint8_t* p) {
  DirEntry e;
  std::memcpy(e.name.data(), p, kName11Length);
  e.attributes = p[11];
  e.reserved = p[12];
  e.seconds = p[13];
  e.createTime = GetLe16(p + 14);
  e.createDate = GetLe16(p + 16);
  e.accessDate = GetLe16(p + 18);
  e.highCluster = GetLe16(p + 20);
  e.time = GetLe16(p + 22);
  e.date = GetLe16(p + 24);
  e.firstCluster = GetLe16(p + 26);
  e.size = GetLe32(p + 28);
  return e;
}

void DirEntry::Serialize(std::uint8_t* p) const {
  std::memcpy(p, name.data(), kName11Length);
  p[11] = attributes;
  p[12] = reserved;
  p[13] = seconds;
  PutLe16(p + 14, createTime);
  PutLe16(p + 16, createDate);
  PutLe16(p + 18, accessDate);
  PutLe16(p + 20, highCluster);
  PutLe16(p + 22, time);
  PutLe16(p + 24, date);
  PutLe16(p + 26, firstCluster);
  PutLe32(p + 28, size);
}

void DirEntry::SetName11(std::string_view name11) {
  for (std::size_t i = 0; i < kName11Length; ++i) {
    name[i] = static_cast<std::uint8_t>(i < name11.size() ? name11[i] : ' ');
  }
}

void StampDirEntry(DirEntry& entry, const std::tm& now) {
  const auto t = static_cast<std::uint16_t>(now.tm_hour * 2048 + now.tm_min * 32 + now.tm_sec / 2);
  // The year field counts from 1980 in 7 bits; taking the years since 1900 plus 48 modulo 128
  // gives the same value for every year the field can hold.
  const auto d = static_cast<std::uint16_t>(static_cast<std::uint16_t>((now.tm_year + 48) * 512) +
                                            (now.tm_mon + 1) * 32 + now.tm_mday);
  entry.seconds = static_cast<std::uint8_t>(now.tm_sec);
  entry.createTime = t;
  entry.createDate = d;
  entry.accessDate = d;
  entry.time = t;
  entry.date = d;
}

namespace {

bool ShortNameChar(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return false;
  return std::strchr("*?/\\:<>|\"+,;=[] .", c) == nullptr;
}

unsigned char Upper(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

}  // namespace

std::optional<std::string> MakeName11(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  const auto dot = name.rfind('.');
  const std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
  const std::string_view ext = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return std::nullopt;
  std::string out(kName11Length, ' ');
  for (std::size_t i = 0; i < base.size(); ++i) {
    const auto c = static_cast<unsigned char>(base[i]);
    if (!ShortNameChar(c)) return std::nullopt;
    out[i] = static_cast<char>(Upper(c));
  }
  for (std::size_t i = 0; i < ext.size(); ++i) {
    const auto c = static_cast<unsigned char>(ext[i]);
    if (!ShortNameChar(c)) return std::nullopt;
    out[8 + i] = static_cast<char>(Upper(c));
  }
  // 0xE5 as a first byte would read as a deleted entry.
  if (static_cast<unsigned char>(out[0]) == kDeletedMark) return std::nullopt;
  return out;
}

std::optional<std::string> DirectoryName11(std::string_view dir) {
  const auto backslash = dir.find('\\');
  if (backslash != std::string_view::npos) dir = dir.substr(0, backslash);
  if (dir.empty()) return std::string();
  if (dir.size() > kName11Length) return std::nullopt;
  std::string out(dir);
  out.resize(kName11Length, ' ');
  return out;
}

std::string SongFolderName11(int n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%-11d", n);
  return std::string(buf, kName11Length);
}

std::string SongFileName11(int number) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%05d   MF3", number);
  return std::string(buf).substr(0, kName11Length);
}

std::string Name11ToDisplay(std::string_view name11) {
  std::string base(name11.substr(0, std::min<std::size_t>(8, name11.size())));
  std::string ext(name11.size() > 8 ? name11.substr(8, 3) : std::string_view());
  while (!base.empty() && base.back() == ' ') base.pop_back();
  while (!ext.empty() && ext.back() == ' ') ext.pop_back();
  return ext.empty() ? base : base + "." + ext;
}

}  // namespace sondesk

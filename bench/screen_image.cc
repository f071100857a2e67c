// Expected screens are drawn by the library itself, started without a display, so the font's
// glyphs come from the same place as the program's.
#include "screen_image.h"

#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace {

constexpr std::uint32_t blue = 0x0000ff;
constexpr int text_index = 1;

void start_library_once() {
  static const bool started = [] {
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0) std::abort();
    return true;
  }();
  (void)started;
}

}  // namespace

screen_image expected_screen(const std::vector<text_line> &lines) {
  start_library_once();
  BITMAP *canvas = create_bitmap_ex(8, screen_width, screen_height);
  clear_to_color(canvas, 0);
  for (const text_line &line : lines)
    textprintf_ex(canvas, font, line.x, line.y, text_index, 0, "%s", line.text.c_str());
  screen_image image(pixel_index(0, screen_height), 0);
  for (int y = 0; y < screen_height; ++y) {
    for (int x = 0; x < screen_width; ++x) {
      if (getpixel(canvas, x, y) == text_index) image[pixel_index(x, y)] = blue;
    }
  }
  destroy_bitmap(canvas);
  return image;
}

int count_differences(const screen_image &a, const screen_image &b) {
  if (a.size() != b.size()) return screen_width * screen_height;
  int differences = 0;
  for (std::size_t i = 0; i < a.size(); ++i) differences += a[i] != b[i] ? 1 : 0;
  return differences;
}

namespace {

std::uint32_t crc32(const std::string &bytes) {
  std::uint32_t crc = 0xffffffffU;
  for (const char byte : bytes) {
    crc ^= static_cast<unsigned char>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320U & (0U - (crc & 1U)));
  }
  return ~crc;
}

void put_u32(std::string &out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xff);
}

void put_chunk(std::ofstream &out, const char *type, const std::string &data) {
  std::string length;
  put_u32(length, static_cast<std::uint32_t>(data.size()));
  const std::string body = type + data;
  std::string crc;
  put_u32(crc, crc32(body));
  out << length << body << crc;
}

// A zlib stream of stored deflate blocks: no compression library needed.
std::string stored_zlib(const std::string &raw) {
  std::string out = "\x78\x01";
  constexpr std::size_t block = 65535;
  for (std::size_t at = 0; at == 0 || at < raw.size(); at += block) {
    const std::size_t size = std::min(block, raw.size() - at);
    out += static_cast<char>(at + size >= raw.size() ? 1 : 0);
    out += static_cast<char>(size & 0xff);
    out += static_cast<char>(size >> 8);
    out += static_cast<char>(~size & 0xff);
    out += static_cast<char>((~size >> 8) & 0xff);
    out.append(raw, at, size);
  }
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const char byte : raw) {
    a = (a + static_cast<unsigned char>(byte)) % 65521;
    b = (b + a) % 65521;
  }
  put_u32(out, (b << 16) | a);
  return out;
}

}  // namespace

void save_png(const screen_image &image, const std::string &path) {
  std::string raw;
  for (int y = 0; y < screen_height; ++y) {
    raw += '\0';  // no filter
    for (int x = 0; x < screen_width; ++x) {
      const std::uint32_t pixel = image[pixel_index(x, y)];
      raw += static_cast<char>((pixel >> 16) & 0xff);
      raw += static_cast<char>((pixel >> 8) & 0xff);
      raw += static_cast<char>(pixel & 0xff);
    }
  }
  std::string header;
  put_u32(header, screen_width);
  put_u32(header, screen_height);
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  std::ofstream out(path, std::ios::binary);
  out << "\x89PNG\r\n\x1a\n";
  put_chunk(out, "IHDR", header);
  put_chunk(out, "IDAT", stored_zlib(raw));
  put_chunk(out, "IEND", "");
}

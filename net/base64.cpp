#include "net/base64.h"

namespace net {

std::string EncodeBase64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
    if (n > 1) value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (n > 2) value |= static_cast<unsigned char>(bytes[i + 2]);
    out.push_back(kAlphabet[(value >> 18) & 63]);
    out.push_back(kAlphabet[(value >> 12) & 63]);
    out.push_back(n > 1 ? kAlphabet[(value >> 6) & 63] : '=');
    out.push_back(n > 2 ? kAlphabet[value & 63] : '=');
  }
  return out;
}

}  // namespace net

#include "platform/connectivity.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

namespace platform {

namespace {

constexpr unsigned long kRouteUp = 0x0001;
constexpr unsigned long kRouteReject = 0x0200;

std::vector<std::string> Fields(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> fields;
  for (std::string field; in >> field;) fields.push_back(field);
  return fields;
}

bool Hex(const std::string& text, unsigned long& value) {
  if (text.empty() || text.size() > 16) return false;
  size_t used = 0;
  try {
    value = std::stoul(text, &used, 16);
  } catch (...) {
    return false;
  }
  return used == text.size();
}

template <class IsDefault>
bool AnyDefault(std::string_view table, size_t flagsField, size_t interfaceField,
                const IsDefault& isDefault, const std::function<bool(const std::string&)>& usable) {
  std::istringstream in{std::string(table)};
  for (std::string line; std::getline(in, line);) {
    const auto fields = Fields(line);
    if (fields.size() <= std::max(flagsField, interfaceField)) continue;
    unsigned long flags = 0;
    if (!Hex(fields[flagsField], flags)) continue;  // the heading, or a line not understood
    if (!(flags & kRouteUp) || (flags & kRouteReject)) continue;
    if (!isDefault(fields)) continue;
    if (usable(fields[interfaceField])) return true;
  }
  return false;
}

std::string ReadAll(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

bool HasDefaultRoute(std::string_view Ipv4Routes, std::string_view Ipv6Routes,
                     const std::function<bool(const std::string&)>& InterfaceUsable) {
  // Iface Destination Gateway Flags RefCnt Use Metric Mask ...
  const bool v4 = AnyDefault(
      Ipv4Routes, 3, 0,
      [](const std::vector<std::string>& f) {
        unsigned long destination = 1, mask = 1;
        return Hex(f[1], destination) && f.size() > 7 && Hex(f[7], mask) && destination == 0 &&
               mask == 0;
      },
      InterfaceUsable);
  if (v4) return true;
  // Destination PrefixLength Source SourcePrefixLength NextHop Metric RefCnt Use Flags Iface
  return AnyDefault(
      Ipv6Routes, 8, 9,
      [](const std::vector<std::string>& f) {
        return f[0] == std::string(32, '0') && f[1] == "00";
      },
      InterfaceUsable);
}

bool HasDefaultRoute() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, &freeifaddrs);
  const auto usable = [list](const std::string& name) {
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
      if (entry->ifa_name && name == entry->ifa_name) {
        return (entry->ifa_flags & IFF_UP) && !(entry->ifa_flags & IFF_LOOPBACK);
      }
    }
    return false;
  };
  return HasDefaultRoute(ReadAll("/proc/net/route"), ReadAll("/proc/net/ipv6_route"), usable);
}

}  // namespace platform

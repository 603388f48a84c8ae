#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

// Whether the route tables hold a default route through an interface that is up and is not
// the loopback: the machine's own idea of a way out, when the desktop has none to offer.
bool HasDefaultRoute();

// The same decision over the kernel's text tables (/proc/net/route and /proc/net/ipv6_route),
// with the interface question asked of InterfaceUsable, so it can be tried on any table.
bool HasDefaultRoute(std::string_view Ipv4Routes, std::string_view Ipv6Routes,
                     const std::function<bool(const std::string& Interface)>& InterfaceUsable);

}  // namespace platform

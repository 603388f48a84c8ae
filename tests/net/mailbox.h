#pragma once

#include <string>
#include <utility>

#include "net/message.h"

// Addresses for test and benchmark messages, filled in as the sending forms fill them.
namespace nettest {

inline net::TIdEMailAddressItem Mailbox(std::string Name, std::string Address) {
  net::TIdEMailAddressItem item;
  item.Address = std::move(Address);
  item.Name = std::move(Name);
  return item;
}

inline void AddMailbox(net::TIdEMailAddressList& List, std::string Name, std::string Address) {
  List.Add() = Mailbox(std::move(Name), std::move(Address));
}

}  // namespace nettest

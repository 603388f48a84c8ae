// The SMTP client through a whole conversation (greeting, EHLO, AUTH LOGIN, one message, QUIT)
// against server replies from the fuzzer, handed over in blocks of a size it chooses too; then
// the same replies to a client that asks for STARTTLS, up to the handshake.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "net/smtp.h"
#include "net/transport.h"
#include "platform/exception.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t block = data[0] == 0 ? size : data[0];
  const std::string replies(reinterpret_cast<const char*>(data) + 1, size - 1);
  for (const net::TIdMailSecurity security : {net::msNone, net::msStartTLS}) {
    net::TIdSMTP smtp;
    smtp.Host = "mail.example";
    smtp.Username = "desktop@quillby.example";
    smtp.Password = "qb2026";
    smtp.Security = security;
    smtp.SetTransport(std::make_unique<net::TIdMemoryTransport>(replies, block));
    net::TIdMessage message;
    message.From.Address = "jane@example.org";
    message.Recipients.Add().Address = "bob@example.org";
    message.Subject = "Hello";
    message.Body = {"<p>Hello</p>", "."};
    message.UseNowForDate = false;
    try {
      smtp.Connect();
      smtp.Authenticate();
      smtp.Send(message);
    } catch (const Exception&) {
      // Any reply may be refused, as long as it is refused cleanly.
    }
    try {
      smtp.Disconnect();
    } catch (const Exception&) {
    }
  }
  return 0;
}

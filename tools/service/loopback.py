"""The addresses of this machine's loopback the stand-in's servers listen on."""
import errno
import ipaddress
import socket

# Addresses the loopback may lack (no IPv6): listening goes on without them.
_ABSENT = (errno.EADDRNOTAVAIL, errno.EAFNOSUPPORT)


class CannotListen(Exception):
    def __init__(self, address, port, error):
        super().__init__(f"{address} port {port}: {error.strerror}")
        self.address = address
        self.port = port
        self.error = error


def addresses(option, host):
    """The loopback addresses a client reaches host at, in the resolver's order; "localhost" is
    both 127.0.0.1 and ::1 whatever the resolver says, as a client may try either."""
    host = host.strip("[]")
    if host.lower() == "localhost":
        return ["127.0.0.1", "::1"]
    try:
        found = list(dict.fromkeys(info[4][0] for info in
                                   socket.getaddrinfo(host, None, type=socket.SOCK_STREAM)))
    except OSError:
        found = []
    if not found or not all(ipaddress.ip_address(a).is_loopback for a in found):
        raise SystemExit(f"The stand-in serves this machine only, but {option} is {host!r}, "
                         f"which is not a loopback name; this build points at the real service.")
    return found


def _socket(address, port):
    family = socket.AF_INET6 if ":" in address else socket.AF_INET
    listening = socket.socket(family, socket.SOCK_STREAM)
    try:
        listening.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        if family == socket.AF_INET6:
            listening.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
        listening.bind((address, port))
        listening.listen(128)
    except BaseException:
        listening.close()
        raise
    return listening


def listen(where, port, tries=20):
    """Listening sockets on every address of where, all on port (0: one free on all of them);
    raises CannotListen naming the address that could not be had. An address the loopback
    lacks is left out unless it is the only one."""
    for _ in range(tries):
        sockets = []
        try:
            for address in where:
                try:
                    sockets.append(_socket(address, port or (sockets[0].getsockname()[1]
                                                             if sockets else 0)))
                except OSError as e:
                    if e.errno in _ABSENT and address != where[0]:
                        continue
                    raise CannotListen(address, port, e) from e
            return sockets
        except CannotListen as e:
            for s in sockets:
                s.close()
            # The free port of the first address may be taken on another: pick again.
            if port or e.error.errno != errno.EADDRINUSE or not sockets:
                raise
    raise CannotListen(where[-1], port, OSError(errno.EADDRINUSE, "no port free on all"))
